// pictures.js: what the worker asks of the browser's own image code: bitmaps for the page to
// show, and decoding the formats vorn does not read (WebP and the like), which are then used as
// their equivalent BMP. PNG, JPEG and BMP files never come here: vorn's own readers decode them
// inside the module, so that they give the pixels they give the command.
//
// Colour management is switched off: a picture decodes to the values its file holds.

// RGBA pixels, top row first, of a picture the browser can decode; null when it cannot.
// alphaDropped tells whether any pixel was not opaque (the engine keeps colour only).
export async function decodeWithBrowser(blob) {
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

// A bitmap of opaque RGBA pixels (a view the canvas copies at once); null for an empty picture.
export function previewOf(rgba, width, height) {
  if (width === 0 || height === 0) return null;
  const canvas = new OffscreenCanvas(width, height);
  canvas.getContext('2d').putImageData(new ImageData(rgba, width, height), 0, 0);
  return canvas.transferToImageBitmap();
}
