// Tiny BMP files built in memory for the tests, and the pixels of a BMP read back.

// A 24-bit BMP: a header of `offset` bytes (54 or more; the bytes past 54 stay 0), `height`
// rows of `width` pixels with their padding, then `trailing` bytes. Every byte from offset 54
// on comes from a fixed pseudo-random sequence started by `seed`, so that padding and trailing
// bytes take part like pixels do.
export function bmp({ width, height, seed, offset = 54, trailing = 0 }) {
  const rowBytes = width * 3 + (width & 3);
  const length = offset + rowBytes * height + trailing;
  const file = Buffer.alloc(length);
  file.write('BM', 0, 'latin1');
  file.writeUInt32LE(length, 2);
  file.writeUInt32LE(offset, 10);
  file.writeUInt32LE(40, 14);
  file.writeInt32LE(width, 18);
  file.writeInt32LE(height, 22);
  file.writeUInt16LE(1, 26);
  file.writeUInt16LE(24, 28);
  file.writeUInt32LE(rowBytes * height, 34);
  let state = seed >>> 0 || 1;
  for (let i = 54; i < length; i++) {
    state ^= state << 13; state >>>= 0;
    state ^= state >>> 17;
    state ^= state << 5; state >>>= 0;
    file[i] = state & 0xff;
  }
  return file;
}

// R G B bytes, the top row first, of a bottom-up 24-bit BMP.
export function rgbOf(file) {
  const offset = file.readUInt32LE(10);
  const width = file.readInt32LE(18);
  const height = file.readInt32LE(22);
  const rowBytes = width * 3 + (width & 3);
  const rgb = Buffer.alloc(width * height * 3);
  for (let y = 0; y < height; y++) {
    const row = offset + (height - 1 - y) * rowBytes;
    for (let x = 0; x < width; x++) {
      const d = (y * width + x) * 3;
      rgb[d] = file[row + x * 3 + 2];
      rgb[d + 1] = file[row + x * 3 + 1];
      rgb[d + 2] = file[row + x * 3];
    }
  }
  return { width, height, rgb };
}

// Where two byte arrays first differ, for a failure message; -1 when they are equal.
export function firstDifference(a, b) {
  const n = Math.min(a.length, b.length);
  for (let i = 0; i < n; i++) if (a[i] !== b[i]) return i;
  return a.length === b.length ? -1 : n;
}
