/* Proves that the libraries scripts/third-party.sh installed link and work on their target:
 * each one does one small real job whose answer is known. Built by that script with
 * -DHAVE_<LIBRARY> for each library installed; prints one line per library and exits non-zero
 * at the first failure. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

static void report(const char *library, int ok, const char *detail) {
  printf("%-14s %s %s\n", library, ok ? "ok    " : "FAILED", detail);
  if (!ok) failures++;
}

/* A small test picture: 4 x 4 RGB, a different value in every byte. */
enum { side = 4, channels = 3, picture_size = side * side * channels };
static unsigned char picture[picture_size];

#ifdef HAVE_ZLIB
#include <zlib.h>
static void check_zlib(void) {
  unsigned char packed[256], unpacked[picture_size];
  uLongf packed_size = sizeof packed, unpacked_size = sizeof unpacked;
  int ok = compress(packed, &packed_size, picture, picture_size) == Z_OK &&
           uncompress(unpacked, &unpacked_size, packed, packed_size) == Z_OK &&
           unpacked_size == picture_size && memcmp(unpacked, picture, picture_size) == 0;
  report("zlib", ok, zlibVersion());
}
#endif

#ifdef HAVE_LIBISAL
#include <isa-l.h>
/* Deflates the picture with ISA-L and inflates it again; the Adler-32 of "Wikipedia" is known. */
static void check_libisal(void) {
  unsigned char packed[512], unpacked[picture_size];
  struct isal_zstream stream;
  struct inflate_state state;
  int ok;
  isal_deflate_stateless_init(&stream);
  stream.next_in = picture;
  stream.avail_in = picture_size;
  stream.next_out = packed;
  stream.avail_out = sizeof packed;
  stream.end_of_stream = 1;
  ok = isal_deflate_stateless(&stream) == COMP_OK;
  isal_inflate_init(&state);
  state.next_in = packed;
  state.avail_in = stream.total_out;
  state.next_out = unpacked;
  state.avail_out = sizeof unpacked;
  ok = ok && isal_inflate_stateless(&state) == ISAL_DECOMP_OK && state.total_out == picture_size &&
       memcmp(unpacked, picture, picture_size) == 0 &&
       isal_adler32(1, (const unsigned char *)"Wikipedia", 9) == 0x11E60398u;
  report("libisal", ok, "deflate and inflate in memory, Adler-32");
}
#endif

#ifdef HAVE_LIBSPNG
#include <spng.h>
/* Encodes the picture as PNG in memory and decodes it again. */
static void check_libspng(void) {
  int ok = 0;
  void *png = NULL;
  size_t png_size = 0;
  unsigned char decoded[picture_size];
  spng_ctx *encoder = spng_ctx_new(SPNG_CTX_ENCODER);
  if (encoder) {
    struct spng_ihdr ihdr = {side, side, 8, SPNG_COLOR_TYPE_TRUECOLOR, 0, 0, 0};
    int error = 0;
    spng_set_option(encoder, SPNG_ENCODE_TO_BUFFER, 1);
    spng_set_ihdr(encoder, &ihdr);
    if (spng_encode_image(encoder, picture, picture_size, SPNG_FMT_PNG, SPNG_ENCODE_FINALIZE) == 0)
      png = spng_get_png_buffer(encoder, &png_size, &error); /* the caller frees it */
    spng_ctx_free(encoder);
  }
  spng_ctx *decoder = png ? spng_ctx_new(0) : NULL;
  if (decoder) {
    size_t size = 0;
    ok = spng_set_png_buffer(decoder, png, png_size) == 0 &&
         spng_decoded_image_size(decoder, SPNG_FMT_RGB8, &size) == 0 && size == picture_size &&
         spng_decode_image(decoder, decoded, size, SPNG_FMT_RGB8, 0) == 0 &&
         memcmp(decoded, picture, picture_size) == 0;
    spng_ctx_free(decoder);
  }
  free(png);
  report("libspng", ok, spng_version_string());
}
#endif

#ifdef HAVE_LIBJPEG_TURBO
#include <jpeglib.h>
/* Encodes the picture as JPEG in memory and decodes it again: the sizes must come back, and
 * the pixels within what a quality of 100 loses. */
static void check_libjpeg_turbo(void) {
  struct jpeg_compress_struct out;
  struct jpeg_decompress_struct in;
  struct jpeg_error_mgr errors;
  unsigned char *jpeg = NULL;
  unsigned long jpeg_size = 0;
  unsigned char decoded[picture_size];
  JSAMPROW row;
  int ok = 1, y, i;

  out.err = jpeg_std_error(&errors);
  jpeg_create_compress(&out);
  jpeg_mem_dest(&out, &jpeg, &jpeg_size); /* the caller frees jpeg */
  out.image_width = side;
  out.image_height = side;
  out.input_components = channels;
  out.in_color_space = JCS_RGB;
  jpeg_set_defaults(&out);
  jpeg_set_quality(&out, 100, TRUE);
  for (i = 0; i < channels; i++) /* no chroma subsampling: every pixel keeps its own colour */
    out.comp_info[i].h_samp_factor = out.comp_info[i].v_samp_factor = 1;
  jpeg_start_compress(&out, TRUE);
  for (y = 0; y < side; y++) {
    row = picture + y * side * channels;
    jpeg_write_scanlines(&out, &row, 1);
  }
  jpeg_finish_compress(&out);
  jpeg_destroy_compress(&out);

  in.err = jpeg_std_error(&errors);
  jpeg_CreateDecompress(&in, JPEG_LIB_VERSION, sizeof in);
  jpeg_mem_src(&in, jpeg, jpeg_size);
  jpeg_read_header(&in, TRUE);
  in.out_color_space = JCS_RGB;
  jpeg_start_decompress(&in);
  ok = in.output_width == side && in.output_height == side && in.output_components == channels;
  while (ok && in.output_scanline < in.output_height) {
    row = decoded + in.output_scanline * side * channels;
    jpeg_read_scanlines(&in, &row, 1);
  }
  jpeg_finish_decompress(&in);
  jpeg_destroy_decompress(&in);
  free(jpeg);
  for (i = 0; ok && i < picture_size; i++)
    ok = abs(decoded[i] - picture[i]) <= 8;
  report("libjpeg-turbo", ok, "JPEG in memory and back");
}
#endif

#ifdef HAVE_LIBSODIUM
#include <sodium.h>
/* Argon2id at the smallest limits: the key must be the one the same library computes on the
 * build machine, so a wrong word size or a miscompiled hash shows. */
static void check_libsodium(void) {
  static const char expected[] =
      "c9a6de29d0aa7da6589bccaab4448c22ec30202096b855c4501b5c2c7fc388af";
  unsigned char salt[crypto_pwhash_SALTBYTES] = {0};
  unsigned char key[32];
  char hex[2 * sizeof key + 1];
  int ok = sodium_init() >= 0 &&
           crypto_pwhash(key, sizeof key, "password", 8, salt, crypto_pwhash_OPSLIMIT_MIN,
                         crypto_pwhash_MEMLIMIT_MIN, crypto_pwhash_ALG_ARGON2ID13) == 0;
  if (ok) {
    sodium_bin2hex(hex, sizeof hex, key, sizeof key);
    ok = strcmp(hex, expected) == 0;
    if (!ok) printf("  crypto_pwhash gave %s\n", hex);
  }
  report("libsodium", ok, sodium_version_string());
}
#endif

#ifdef HAVE_UTF8PROC
#include <utf8proc.h>
/* "e" and a combining acute accent compose to one "é" in NFC. */
static void check_utf8proc(void) {
  utf8proc_uint8_t *nfc = utf8proc_NFC((const utf8proc_uint8_t *)"e\xCC\x81"); /* caller frees */
  int ok = nfc && strcmp((const char *)nfc, "\xC3\xA9") == 0;
  free(nfc);
  report("utf8proc", ok, utf8proc_version());
}
#endif

#ifdef HAVE_LIBWEBP
#include <webp/decode.h>
#include <webp/encode.h>
/* Encodes the picture as lossless WebP in memory and decodes it again: every byte comes back. */
static void check_libwebp(void) {
  uint8_t *webp = NULL, *decoded = NULL;
  int width = 0, height = 0, ok = 0;
  const size_t webp_size = WebPEncodeLosslessRGB(picture, side, side, side * channels, &webp);
  if (webp_size > 0) decoded = WebPDecodeRGB(webp, webp_size, &width, &height); /* both freed below */
  ok = decoded && width == side && height == side && memcmp(decoded, picture, picture_size) == 0;
  WebPFree(decoded);
  WebPFree(webp);
  report("libwebp", ok, "lossless WebP in memory and back");
}
#endif

int main(void) {
  int i;
  for (i = 0; i < picture_size; i++) picture[i] = (unsigned char)(i * 17 + 3);
#ifdef HAVE_ZLIB
  check_zlib();
#endif
#ifdef HAVE_LIBISAL
  check_libisal();
#endif
#ifdef HAVE_LIBSPNG
  check_libspng();
#endif
#ifdef HAVE_LIBJPEG_TURBO
  check_libjpeg_turbo();
#endif
#ifdef HAVE_LIBSODIUM
  check_libsodium();
#endif
#ifdef HAVE_UTF8PROC
  check_utf8proc();
#endif
#ifdef HAVE_LIBWEBP
  check_libwebp();
#endif
  return failures == 0 ? 0 : 1;
}
