// pictures.js: what the worker asks of the browser's own image code: decoding PNG, JPEG, WebP
// and the BMPs the engine does not read, encoding PNG, and bitmaps for the page to show.
//
// Colour management is switched off both ways: a picture decodes to the values its file holds,
// and a PNG is written from the exact pixel values, so that a PNG download decodes to the
// coded picture's bytes.

/* exported decodeWithBrowser, pngOf, previewOf */

// RGBA pixels, top row first, of a picture the browser can decode; null when it cannot.
// alphaDropped tells whether any pixel was not opaque (the engine keeps colour only).
async function decodeWithBrowser(blob) {
  let bitmap;
  try {
    bitmap = await createImageBitmap(blob, { colorSpaceConversion: 'none', premultiplyAlpha: 'none' });
  } catch {
    return null;
  }
  const { width, height } = bitmap;
  const context = new OffscreenCanvas(width, height).getContext('2d', { willReadFrequently: true });
  context.drawImage(bitmap, 0, 0);
  bitmap.close();
  const rgba = context.getImageData(0, 0, width, height).data;
  let alphaDropped = false;
  for (let i = 3; i < rgba.length; i += 4) {
    if (rgba[i] !== 255) {
      alphaDropped = true;
      break;
    }
  }
  return { width, height, rgba, alphaDropped };
}

function canvasOf({ width, height, rgba }) {
  const canvas = new OffscreenCanvas(width, height);
  canvas.getContext('2d').putImageData(new ImageData(rgba, width, height), 0, 0);
  return canvas;
}

async function pngOf(pixels) {
  if (pixels.width === 0 || pixels.height === 0) return null;
  return canvasOf(pixels).convertToBlob({ type: 'image/png' });
}

function previewOf(pixels) {
  if (pixels.width === 0 || pixels.height === 0) return null;
  return canvasOf(pixels).transferToImageBitmap();
}
