/* vorn.h: pictures hidden in the low bits of another picture, on memory.

   Every picture is a file image: the complete bytes of an uncompressed 24-bit BMP file, header
   included. Encoding dithers up to two hidden pictures into the low bits of a carrier's colour
   bytes and the carrier into the bits above them; extracting takes a hidden picture out again;
   revealing moves any file's low four bits to the top. Outputs have the input's length and
   header; only the bytes from offset_raster to the end of the file change.

   Bits of a coded byte, bit 7 first (C4/C6: the carrier dithered to 4 or 6 bits; p1 p0:
   hidden picture 1; q3..q0: hidden picture 2 alone; q1 q0: hidden picture 2 beside picture 1;
   * marks a field scrambled by the bit-reversal pixel permutation, which runs only when width
   and height are both powers of two). Each row is one vorn_layout:

     layout                  bits 7..4  bit 3  bit 2  bit 1  bit 0
     NONE                    C4         0      0      0      0
     HIDDEN1                 C6 (bits 7..2)           p1*    p0*
     HIDDEN2_VORNHOLD        C4         q3*    q2*    q1*    q0*
     HIDDEN2_VORNHOLD2       C4         q0*    q1*    q2*    q3*
     BOTH_VORNHOLD           C4         q1     q0     p1*    p0*
     BOTH_VORNHOLD2          C4         p0*    p1*    q0     q1

   What the library does, and what it leaves to the caller. It prints nothing and never sleeps,
   and it opens no file itself (vorn_keyed_encode() draws its salt from the system's random
   source, through libsodium). It keeps no state between calls (libsodium, which the keyed calls
   start, keeps its own and may be shared), so calls on separate buffers may run on separate
   threads. The caller provides every buffer a call reads or writes, asking for its size first,
   and frees it; no call keeps a pointer past its return. Some calls allocate on their own, and
   give it all back before returning: vorn_encode() with both hidden pictures may start one
   helper thread, and the *_threaded() calls up to one fewer than the threads they are given
   (without them, or in a library built without threads, the calling thread does the same work
   alone, to the same bytes); vorn_keyed_encode() and vorn_keyed_decode() take the key
   derivation's 256 MiB from the system allocator.

   Outcomes: every function that can fail returns VORN_OK or an error code that vorn_strerror()
   names. The others answer directly: vorn_strerror() and vorn_version() with static text,
   vorn_has_keyed(), vorn_scrambles() and vorn_layout_holds() with 1 or 0, vorn_layout_of() with
   a layout, and vorn_layout_describe() with a static entry or null.

   Work buffers: a call that takes `work, work_size` needs the bytes its *_work_size() function
   gives for the picture's geometry, aligned as malloc() aligns. `work` may be null exactly when
   work_size is 0: a null work with a non-zero size is VORN_ERR_ARGUMENT, and a size below the
   one asked for is VORN_ERR_BUFFER_TOO_SMALL, null or not. A size of 0 means that the call needs
   no work, so malloc(size) serves whatever it returns for 0. */
#ifndef VORN_H
#define VORN_H

#include <stddef.h>
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

/* ---- Outcomes and version ---------------------------------------------------------------- */

typedef enum vorn_error {
    VORN_OK = 0,
    VORN_ERR_ARGUMENT,          /* a required pointer is null, or an unknown build or layout */
    VORN_ERR_HEADER_TOO_SHORT,  /* the file ends before its header fields do */
    VORN_ERR_NOT_BMP,           /* the file does not begin with "BM" */
    VORN_ERR_BIT_COUNT,         /* not 24 bits per pixel */
    VORN_ERR_NEGATIVE_SIZE,     /* a negative width or height */
    VORN_ERR_ROW_TOO_LONG,      /* a row of more than 2^31 - 1 bytes */
    VORN_ERR_FILE_TOO_LONG,     /* 4 GiB or more */
    VORN_ERR_RASTER_BEYOND_END, /* the header promises more rows than the file holds */
    VORN_ERR_LENGTH_DIFFERS,    /* a hidden picture's length is not the carrier's */
    VORN_ERR_WIDTH_DIFFERS,     /* ... its width */
    VORN_ERR_HEIGHT_DIFFERS,    /* ... its height */
    VORN_ERR_OFFSET_DIFFERS,    /* ... its raster offset */
    VORN_ERR_SIZE_OVERFLOW,     /* a size does not fit in this system's size_t */
    VORN_ERR_BUFFER_TOO_SMALL,  /* a work or output buffer is smaller than the size asked for */
    VORN_ERR_RANGE,             /* a piece reaches beyond the end of the file */
    VORN_ERR_PASSWORD_EMPTY,    /* keyed: the password is empty */
    VORN_ERR_TOO_SMALL_FOR_KEY, /* keyed: too few colour bytes for the salt and the tag */
    VORN_ERR_KEY_MISMATCH,      /* keyed: wrong password, or the picture was changed after it was coded */
    VORN_ERR_KEY_MEMORY         /* keyed: no memory for the key derivation */
} vorn_error;

/* A short English text for the code, such as "not a BMP file (it does not begin with BM)".
   Never null; the text is static and must not be freed. */
const char *vorn_strerror(vorn_error error);

/* The library's version, such as "3.0.0". Static; not to be freed. */
const char *vorn_version(void);

/* 1 when this library has the keyed calls that need a key, vorn_keyed_encode() and
   vorn_keyed_decode(): the shared library built with libsodium, and the static vorn_keyed that
   vorn and the page link. 0 in a library that leaves them out: the static libvorn.a, which the
   three programs link, and a shared library built without libsodium. */
int vorn_has_keyed(void);

/* ---- Checks and geometry ----------------------------------------------------------------- */

/* The geometry of an accepted picture. string_length is the bytes per raster row,
   width * 3 + (width & 3); the raster is height rows from offset_raster on, and
   offset_raster + height * string_length <= length holds without wrapping. */
typedef struct vorn_geometry {
    uint32_t length;
    uint32_t offset_raster;
    uint32_t width;
    uint32_t height;
    uint32_t string_length;
} vorn_geometry;

/* The test of a carrier, or of a picture to decode: at least 30 bytes, "BM", 24 bits, width and
   height not negative, a row below 2^31 bytes, a file below 4 GiB, and the raster inside the
   file (bytes after it are allowed and take part in every per-byte step). Fills *geometry on
   VORN_OK; leaves it alone otherwise. Every error but VORN_ERR_RASTER_BEYOND_END means "not
   supported"; that one means "corrupted". */
vorn_error vorn_check_carrier(const uint8_t *image, size_t length, vorn_geometry *geometry);

/* Whether a hidden picture may go with a carrier of this geometry: the same length, "BM",
   24 bits, and the same width, height and offset_raster, tested in that order; the first
   difference is returned. */
vorn_error vorn_check_hidden(const vorn_geometry *carrier, const uint8_t *image, size_t length);

/* 1 when a picture of this geometry has its scrambled layer moved by the bit-reversal
   permutation (width and height both powers of two: 2, 4, 8, ...), 0 when the layer stays in
   place or geometry is null. */
int vorn_scrambles(const vorn_geometry *geometry);

/* ---- Encoding ---------------------------------------------------------------------------- */

/* The two builds of the coder. VORNHOLD2 stores every hidden-2 value with its four bits in
   reverse order; VORNHOLD stores them as they are. */
typedef enum vorn_build { VORN_VORNHOLD2 = 0, VORN_VORNHOLD = 1 } vorn_build;

/* The work buffer vorn_encode() needs for a carrier of this geometry, in bytes (small: a few
   rows). VORN_ERR_SIZE_OVERFLOW when it does not fit in size_t. */
vorn_error vorn_encode_work_size(const vorn_geometry *geometry, size_t *size);

/* Hides hidden1 and hidden2 (each may be null: not given) in the carrier, in place: `image`
   holds the carrier's file image, `length` bytes, and holds the coded one afterwards. Every
   hidden picture given must pass vorn_check_hidden(); otherwise nothing is written, the error
   is its reason and *refused (when not null) names it, 1 or 2; it is 0 for every other outcome.
   The raster bytes of the hidden pictures are used as work room and hold no picture afterwards:
   pass copies to keep them. `work` holds vorn_encode_work_size() bytes (the work rule above).
   Errors: those of vorn_check_carrier() for the carrier, those of vorn_check_hidden(),
   VORN_ERR_BUFFER_TOO_SMALL for the work buffer, VORN_ERR_ARGUMENT; nothing is written then. */
vorn_error vorn_encode(uint8_t *image, size_t length,
                       uint8_t *hidden1, size_t hidden1_length,
                       uint8_t *hidden2, size_t hidden2_length,
                       vorn_build build, void *work, size_t work_size, int *refused);

/* vorn_encode() on at most `threads` threads: with 2 or more, the hidden-2 and main stages of a
   picture with both hidden pictures run side by side (vorn_encode() is this with 2); with 0 or
   1, on the calling thread alone. The coded bytes are the same for any number. */
vorn_error vorn_encode_threaded(uint8_t *image, size_t length,
                                uint8_t *hidden1, size_t hidden1_length,
                                uint8_t *hidden2, size_t hidden2_length,
                                vorn_build build, void *work, size_t work_size, int *refused,
                                unsigned threads);

/* ---- Layouts: detecting and extracting --------------------------------------------------- */

/* Which build wrote a coded picture and which hidden pictures it holds: the rows of the table
   above. Hidden picture 1 alone is laid out alike by both builds. */
typedef enum vorn_layout {
    VORN_LAYOUT_NONE = 0,
    VORN_LAYOUT_HIDDEN1,
    VORN_LAYOUT_HIDDEN2_VORNHOLD,
    VORN_LAYOUT_HIDDEN2_VORNHOLD2,
    VORN_LAYOUT_BOTH_VORNHOLD,
    VORN_LAYOUT_BOTH_VORNHOLD2
} vorn_layout;

/* Where one hidden picture lies in a layout's field (below). */
typedef struct vorn_layout_picture {
    unsigned bits;      /* its level's bits: 2 or 4; 0 when the layout does not hold it */
    unsigned shift;     /* the field bit that holds the level's lowest bit */
    unsigned tone_step; /* a step of its level, read with the bits below it, in tone: 64 or 16 */
    int scrambled;      /* 1 when encoding scrambles it (where vorn_scrambles() says so) */
} vorn_layout_picture;

/* One layout's facts, the rows of the table above as the engine itself reads them. A coded byte
   holds the carrier in its top carrier_bits bits and the field below them. Read in plain order
   (its four bits turned end for end first when `reversed`), the field holds the level of hidden
   picture `which` in picture[which - 1].bits bits from bit picture[which - 1].shift up. That
   level read with the field's bits below it (hidden picture 1's, beneath hidden picture 2, as
   it was dithered over them) stands for the tone tone_step times their value. */
typedef struct vorn_layout_info {
    const char *name;               /* short and unique, such as "both-vornhold2" */
    unsigned builds;                /* the builds that write it: bit (1 << build) for each */
    unsigned carrier_bits;          /* the carrier's: 6 beside hidden picture 1 alone, else 4 */
    int reversed;                   /* 1 when the field's bits are stored in reverse order */
    vorn_layout_picture picture[2]; /* hidden pictures 1 and 2 */
    int decode_order;               /* keyed decoding tries layouts from 1 up; 0: never tried */
} vorn_layout_info;

/* The facts of `layout`: static, never to be freed. Null for an unknown layout. */
const vorn_layout_info *vorn_layout_describe(vorn_layout layout);

/* The layout `build` writes when given hidden picture 1 (hidden1 non-zero) and hidden picture 2
   (hidden2 non-zero): the one whose builds and pictures say so. VORN_LAYOUT_NONE for an unknown
   build. */
vorn_layout vorn_layout_of(vorn_build build, int hidden1, int hidden2);

/* 1 when a picture of this layout holds hidden picture `which` (1 or 2), 0 otherwise. */
int vorn_layout_holds(vorn_layout layout, int which);

/* A guess, from the coded picture alone, at its layout, for callers that were not told.
   VORN_LAYOUT_NONE, which is certain, when every byte from offset_raster on has its four low
   bits 0, as a picture encoded without hidden pictures has. Any other answer can be wrong: it
   comes from how the low bits of neighbouring pixels agree. Errors: those of
   vorn_check_carrier(). */
vorn_error vorn_detect(const uint8_t *coded, size_t length, vorn_layout *layout);

/* How well a coded picture reads as each layout, for a caller that must decide what it holds
   and would rather refuse than guess. Each layout's hidden pictures are read as that layout
   says (their bits, their order, unscrambled where it scrambles them), and each is judged as a
   dithered picture is: where neighbouring pixels differ, they differ by one level. Pairs of
   equal pixels say nothing and are left out, so flat areas (the bars of a fitted picture, a
   plain background) neither help nor hurt a layout. How the field's bits carry into one another
   says the rest: a 6-bit carrier's bits continue into bits 3 and 2, a 4-bit hidden picture's top
   bits into its bottom ones, and two hidden pictures or a hidden picture and a 4-bit carrier are
   independent. Nothing here decides: the caller weighs the figures. */
#define VORN_LAYOUT_COUNT 6

typedef struct vorn_layout_score {
    /* Hidden pictures 1 and 2 read as this layout: 1 when neighbours that differ always differ
       by one level, about 0 for noise, below 0 rougher than noise; -1 where the layout does not
       hold the picture or too few of its pixels differ to judge it. */
    double picture[2];
    /* The layout as a whole, -1 to 1: the least of its pictures' figures and of how well the
       relations between its bits hold (near 1 for the layout a picture was written in; about 0
       or below for a picture read in a wrong layout, or one with nothing hidden). */
    double fit;
} vorn_layout_score;

typedef struct vorn_layout_scores {
    int low_bits;                                   /* 0 when every field bit is 0 (nothing hidden) */
    vorn_layout_score layout[VORN_LAYOUT_COUNT];    /* indexed by vorn_layout; NONE's all -1 */
} vorn_layout_scores;

/* Scores every layout for a coded picture (the figures above). With low_bits 0 every figure is
   -1. Looks at up to 192 rows and 768 columns, whatever the picture's size. Errors: those of
   vorn_check_carrier(), VORN_ERR_ARGUMENT for a null pointer. */
vorn_error vorn_score_layouts(const uint8_t *coded, size_t length, vorn_layout_scores *scores);

/* Hidden picture `which` (1 or 2) of a coded picture of this layout, as a picture of its own:
   its field taken from each byte, unscrambled where encoding scrambled it, in its own bit
   order, and scaled to the full range of a byte (a 2-bit value v becomes 85 v, a 4-bit one
   17 v). `picture` receives `length` bytes with the coded picture's header and must not overlap
   `coded`; picture_length is its size. VORN_ERR_ARGUMENT when the layout does not hold picture
   `which` (vorn_layout_holds()), VORN_ERR_BUFFER_TOO_SMALL when picture_length < length;
   otherwise the errors of vorn_check_carrier(). */
vorn_error vorn_extract(const uint8_t *coded, size_t length, vorn_layout layout, int which,
                        uint8_t *picture, size_t picture_length);

/* ---- Reconstruction ---------------------------------------------------------------------

   vorn_extract() gives a hidden picture's stored levels as they lie, grain and all. Reconstruction
   gives the picture they stand for: each level read as the tone the dithering aimed at (the
   dithering keeps the top bits of a byte, so a 2-bit level v stands for 64 v and a 4-bit one for
   16 v; hidden picture 2 beside picture 1 is read together with picture 1's bits below it, as it
   was dithered), put back in place where it was scrambled, then cleaned of the dither's grain
   by an edge-preserving low-pass filter (a guided filter over a lightly smoothed guide, edges
   extended by their nearest pixel). Tones above the highest level (192 for a 2-bit picture, 240
   for a 4-bit one) were clipped by the dithering and stay so. Every build computes the same
   bytes. */

/* The work buffer vorn_reconstruct() and vorn_keyed_reconstruct() need for a picture of this
   geometry, in bytes: about 250 floats per colour byte of a row. VORN_ERR_SIZE_OVERFLOW when it
   does not fit in size_t. */
vorn_error vorn_reconstruct_work_size(const vorn_geometry *geometry, size_t *size);

/* Hidden picture `which` (1 or 2) of a coded picture of this layout, reconstructed, into
   `picture`: `length` bytes with the coded picture's header, row padding and bytes after the
   raster 0; picture_length is its size, and it must not overlap `coded`. `work` holds
   vorn_reconstruct_work_size() bytes (the work rule above). Errors as vorn_extract()'s,
   and VORN_ERR_BUFFER_TOO_SMALL for the work buffer; nothing is written then. */
vorn_error vorn_reconstruct(const uint8_t *coded, size_t length, vorn_layout layout, int which,
                            uint8_t *picture, size_t picture_length, void *work, size_t work_size);

/* Reconstruction on at most `threads` threads (0 counts as 1, more than 64 as 64), the calling
   thread among them: the picture's rows are filtered in runs that the threads take in turn, each
   thread with work of its own; the bytes are those of one thread. The work buffer for a geometry
   and a number of threads, which both threaded calls take: about `threads` times
   vorn_reconstruct_work_size()'s, and exactly it for 1 thread (or in a library built without
   threads, which works alone whatever it is given). */
vorn_error vorn_reconstruct_threaded_work_size(const vorn_geometry *geometry, unsigned threads,
                                               size_t *size);

/* vorn_reconstruct() on `threads` threads; `work` holds vorn_reconstruct_threaded_work_size()
   bytes for the same number. */
vorn_error vorn_reconstruct_threaded(const uint8_t *coded, size_t length, vorn_layout layout,
                                     int which, uint8_t *picture, size_t picture_length,
                                     void *work, size_t work_size, unsigned threads);

/* ---- Conversions ------------------------------------------------------------------------- */

/* Pictures from elsewhere (a PNG or JPEG decoder, a canvas) enter as the equivalent BMP file
   image: 24 bits, bottom-up rows, a 54-byte header (biSize 40, one plane, no compression, 2835
   pixels per metre, no palette), the form an image converter writes for an uncompressed
   24-bit BMP. vorn_bmp_length() gives its length: VORN_ERR_FILE_TOO_LONG when it would reach
   4 GiB, VORN_ERR_SIZE_OVERFLOW when it does not fit in size_t. */
vorn_error vorn_bmp_length(uint32_t width, uint32_t height, size_t *length);

/* Writes that file image to `bmp`, which holds bmp_length bytes (at least vorn_bmp_length()).
   `pixels` holds `height` rows, the top row first, `row_bytes` apart; each pixel is `channels`
   bytes (3: R G B; 4: R G B A, the A ignored). Row padding is 0. VORN_ERR_ARGUMENT for other
   channel counts or short rows, VORN_ERR_BUFFER_TOO_SMALL for a short `bmp`. */
vorn_error vorn_bmp_from_rgb(const uint8_t *pixels, uint32_t width, uint32_t height,
                             size_t row_bytes, int channels, uint8_t *bmp, size_t bmp_length);

/* The bytes vorn_bmp_to_rgb() writes for a picture of this geometry: width * height * 3.
   VORN_ERR_SIZE_OVERFLOW when that does not fit in size_t. */
vorn_error vorn_rgb_length(const vorn_geometry *geometry, size_t *length);

/* The pixels of an accepted picture (vorn_check_carrier()) as R G B, the top row first (the
   rows of a BMP with a positive height are stored bottom-up), into `rgb`, which holds
   rgb_length bytes (at least vorn_rgb_length()). VORN_ERR_BUFFER_TOO_SMALL when it is shorter;
   otherwise the errors of vorn_check_carrier(). */
vorn_error vorn_bmp_to_rgb(const uint8_t *bmp, size_t length, uint8_t *rgb, size_t rgb_length);

/* The reveal filter: copies the first offset_raster bytes (all of the file when offset_raster,
   taken unsigned, lies beyond it) and sets every later byte to its low four bits moved to the
   top: out = (in << 4) & 0xFF. No other field is checked. `revealed` receives `length` bytes,
   holds revealed_length, and may be `image` itself. VORN_ERR_HEADER_TOO_SHORT below 26 bytes,
   VORN_ERR_FILE_TOO_LONG from 4 GiB on, VORN_ERR_BUFFER_TOO_SMALL when revealed_length <
   length. */
vorn_error vorn_reveal(const uint8_t *image, size_t length, uint8_t *revealed,
                       size_t revealed_length);

/* ---- The picture policy -----------------------------------------------------------------
   Every front end takes a picture file the same way. A file that vorn_check_carrier() accepts
   is used as it stands: its bytes are its file image, byte for byte, as the coder takes it.
   Every other picture (a PNG, a JPEG, a BMP of another depth, row order or header) is decoded
   by the front end to 8-bit R G B (transparency left out, no colour management) and enters as
   its equivalent BMP through vorn_bmp_from_rgb(). A hidden picture then goes into the
   carrier's frame with vorn_fit_hidden(). */

/* How a hidden picture of another size than the carrier goes into the carrier's frame. */
typedef enum vorn_fit {
    VORN_FIT_CONTAIN = 0, /* scaled to fit whole, centred; the bars around it black */
    VORN_FIT_COVER,       /* scaled to fill the frame, cropped around the centre */
    VORN_FIT_STRETCH      /* scaled to the frame's width and height, each on its own */
} vorn_fit;

/* Where a fitted picture lands: its own size, the size it is scaled to, and the frame position
   of its top-left pixel, counted from the frame's top-left (negative where cover crops it).
   Scaled and own sizes are equal when nothing is scaled. */
typedef struct vorn_placement {
    uint32_t width, height;
    uint64_t scaled_width, scaled_height;
    int64_t x, y;
} vorn_placement;

/* The work buffer vorn_fit_hidden() needs to fit a picture of geometry `hidden` into a frame of
   geometry `frame`: 0 when nothing is scaled, otherwise the resampler's rows and weights.
   VORN_ERR_SIZE_OVERFLOW for a scale so extreme that the resampler cannot take it. */
vorn_error vorn_fit_work_size(const vorn_geometry *frame, const vorn_geometry *hidden,
                              vorn_fit fit, size_t *size);

/* The hidden picture's file image as encoding takes it beside this carrier, into `framed`, which
   holds framed_length bytes (at least carrier_length). A picture that vorn_check_hidden()
   accepts is copied as it stands (`framed` may be `hidden` itself then). One of the carrier's
   width and height otherwise gets the carrier's first offset_raster bytes over its pixels, in the
   carrier's raster. Any other is resampled (stb_image_resize, in sRGB, Mitchell when shrinking,
   Catmull-Rom when enlarging) to where `fit` puts it: sizes rounded to whole pixels, at least
   one, the odd pixel of a margin to the right and the bottom, black around it. An empty picture
   or frame is not scaled, and must have the other's width and height. Row padding and bytes
   after the raster are 0 but in a copy. *placement (when not null) says what was done. `work`
   holds vorn_fit_work_size() bytes (the work rule above). Errors: those of vorn_check_carrier()
   for either picture, VORN_ERR_WIDTH_DIFFERS or VORN_ERR_HEIGHT_DIFFERS for an empty one,
   VORN_ERR_BUFFER_TOO_SMALL for `framed` or the work, VORN_ERR_SIZE_OVERFLOW as
   vorn_fit_work_size() gives it, VORN_ERR_ARGUMENT for an unknown fit or a `framed` that is
   `hidden` but must be written. */
vorn_error vorn_fit_hidden(const uint8_t *carrier, size_t carrier_length, const uint8_t *hidden,
                           size_t hidden_length, vorn_fit fit, uint8_t *framed,
                           size_t framed_length, void *work, size_t work_size,
                           vorn_placement *placement);

/* ---- The programs' own entries ------------------------------------------------------------
   What the coder and the reveal filter need to behave exactly as they always have: the raw
   header fields they print, and the decode that writes Decoded_1 and Decoded_2 whatever the
   picture holds. Other callers want vorn_detect() and vorn_extract() instead. */

/* The header fields as they stand, unchecked (what the reveal filter prints). string_length is
   computed in 32 bits and wraps as it would on a 32-bit system. */
typedef struct vorn_program_fields {
    int32_t offset_raster; /* bytes 10..13 */
    int32_t width;         /* bytes 18..21 */
    int32_t height;        /* bytes 22..25 */
    int32_t string_length;
} vorn_program_fields;

/* Reads the fields of the first 26 bytes. VORN_ERR_HEADER_TOO_SHORT when length < 26. */
vorn_error vorn_program_read_fields(const uint8_t *image, size_t length,
                                    vorn_program_fields *fields);

/* The work buffer vorn_program_decode() needs, in bytes (about ten bytes per pixel of a row). */
vorn_error vorn_program_decode_work_size(const vorn_geometry *geometry, size_t *size);

/* Decodes a coded picture into the coder's two decoded file images, `length` bytes each:
   decoded1 holds the two lowest bits of every byte from offset_raster on, moved to the top;
   decoded2 the four lowest (their order turned back for VORNHOLD2), moved to the top, and with
   every pixel moved to its bit-reversed place when vorn_scrambles(). Both keep the coded
   picture's first offset_raster bytes. decoded2 may be `coded` itself (then the coded picture
   is overwritten); decoded1 must not overlap `coded`, and may be null when the caller takes it
   piece by piece with vorn_program_decode1_piece(). `work` holds
   vorn_program_decode_work_size() bytes (the work rule above). Errors: those of
   vorn_check_carrier() (nothing written), VORN_ERR_BUFFER_TOO_SMALL, VORN_ERR_ARGUMENT. */
vorn_error vorn_program_decode(const uint8_t *coded, size_t length, vorn_build build,
                               uint8_t *decoded1, uint8_t *decoded2,
                               void *work, size_t work_size);

/* Bytes offset .. offset + count - 1 of the first decoded file image, into `piece`, so that it
   can be written out without holding it whole. `geometry` is the coded picture's, from
   vorn_check_carrier(). VORN_ERR_RANGE when the piece reaches beyond the file. */
vorn_error vorn_program_decode1_piece(const uint8_t *coded, const vorn_geometry *geometry,
                                      size_t offset, size_t count, uint8_t *piece);

/* ---- The keyed form: hidden pictures only the password's owner can take out -------------

   A keyed picture uses a layout's fields (the table above, read without any scramble), but every
   hidden bit is encrypted and authenticated under a key derived from a password: without it the
   low bits look random, and nothing marks the picture as keyed. Key: Argon2id of the password
   (UTF-8 bytes as given; vorn and the page normalise to NFC first) with a 16-byte salt, at a cost
   fixed by the format's version (3 passes over 256 MiB). Cipher: XChaCha20-Poly1305 over the
   fields of every colour byte, packed in raster order, with version, layout, width, height and
   file length as additional data. The salt (bits 1..0) and the 16-byte tag take the fields of the
   first 64 colour bytes (128 in the hidden-1 layout), which the hidden pictures give up.

   vorn_keyed_encode() and vorn_keyed_decode() need a key, and libsodium for it: they are in the
   shared library and in vorn_keyed, not in the static libvorn.a (vorn_has_keyed() says which
   this is). The other keyed calls need no key and are in every library. The key derivation
   takes its 256 MiB from the system allocator and frees it before returning; everything else
   lives in the caller's buffers. Keys and plaintext left in work room are wiped before
   returning. */

/* The salt's length. vorn_keyed_encode() draws a salt at random for every encoding, so that no
   two pictures share a key, which is why the cipher's nonce can be fixed. */
#define VORN_KEYED_SALT_BYTES 16

/* The work buffer both keyed calls need: one row of dither state and the packed hidden bits,
   about half a byte per colour byte. VORN_ERR_SIZE_OVERFLOW when it does not fit in size_t. */
vorn_error vorn_keyed_work_size(const vorn_geometry *geometry, size_t *size);

/* Encodes in place: `image` holds the carrier and receives the keyed picture, `length` bytes.
   The layout says which hidden pictures are stored (it must not be NONE); each one it stores is
   given and passes vorn_check_hidden() (else that error), each one it does not store is null
   (else VORN_ERR_ARGUMENT). Their rasters are work room and are zeroed afterwards.
   Errors, with nothing written: those of vorn_check_carrier(), VORN_ERR_PASSWORD_EMPTY,
   VORN_ERR_TOO_SMALL_FOR_KEY (fewer than 64 colour bytes, 128 for the hidden-1 layout),
   VORN_ERR_BUFFER_TOO_SMALL for the work buffer, VORN_ERR_KEY_MEMORY (no memory for the key, or
   libsodium could not start), VORN_ERR_ARGUMENT. `work` holds vorn_keyed_work_size() bytes (the
   work rule above). */
vorn_error vorn_keyed_encode(uint8_t *image, size_t length, uint8_t *hidden1, size_t hidden1_length,
                             uint8_t *hidden2, size_t hidden2_length, vorn_layout layout,
                             const char *password, size_t password_length, void *work,
                             size_t work_size);

/* Decodes a keyed picture: derives the key once and tries the layouts in their decode_order
   until a tag verifies. Then *layout names it, and picture1 and picture2 (`length` bytes each,
   the coded picture's header, neither overlapping `coded`; picture_length is the size of each)
   hold its hidden pictures, each level read back over the full byte; a picture the layout does
   not hold is all zero, and the given-up pixels are taken from the row above.
   VORN_ERR_KEY_MISMATCH when none verifies: the password is wrong, or the picture was changed
   after it was coded (any bit, or its length); then nothing is written but zeros in picture2.
   Other errors: those of vorn_check_carrier(), VORN_ERR_PASSWORD_EMPTY,
   VORN_ERR_TOO_SMALL_FOR_KEY (too few colour bytes for any layout), VORN_ERR_BUFFER_TOO_SMALL
   (the work buffer, or picture_length < length), VORN_ERR_KEY_MEMORY, VORN_ERR_ARGUMENT. `work`
   holds vorn_keyed_work_size() bytes (the work rule above). */
vorn_error vorn_keyed_decode(const uint8_t *coded, size_t length, const char *password,
                             size_t password_length, uint8_t *picture1, uint8_t *picture2,
                             size_t picture_length, vorn_layout *layout, void *work,
                             size_t work_size);

/* Reconstruction of a keyed picture's hidden picture `which` of this layout (the one
   vorn_keyed_decode() named), in place: `picture` holds its levels as vorn_keyed_decode() wrote
   them and receives the reconstructed picture (the grain filtered out as vorn_reconstruct()
   does; the keyed form needs no other reading of the levels). `work` holds
   vorn_reconstruct_work_size() bytes (the work rule above).
   Errors: those of vorn_check_carrier(), VORN_ERR_ARGUMENT when the layout does not hold the
   picture, VORN_ERR_BUFFER_TOO_SMALL for the work. */
vorn_error vorn_keyed_reconstruct(uint8_t *picture, size_t length, vorn_layout layout, int which,
                                  void *work, size_t work_size);

/* vorn_keyed_reconstruct() on `threads` threads, as vorn_reconstruct_threaded() runs; `work` holds
   vorn_reconstruct_threaded_work_size() bytes for the same number. */
vorn_error vorn_keyed_reconstruct_threaded(uint8_t *picture, size_t length, vorn_layout layout,
                                           int which, void *work, size_t work_size,
                                           unsigned threads);

/* Whether the low bits of a picture look like random ones, as a keyed picture's do (*likely 1),
   for a caller that was given no password. Pictures below 5120 colour bytes (41 x 41 pixels)
   give 0: too few to tell. A noisy hidden picture stored without a key can look random too.
   Errors: those of vorn_check_carrier(). */
vorn_error vorn_keyed_likely(const uint8_t *coded, size_t length, int *likely);

/* ---- The compact form's carrier and key --------------------------------------------------

   The picture kit's compact form (docs/compact-form.md is its format) seals the hidden pictures,
   coded, into a frame that an embedding lays into the carrier. These calls are the engine's part
   of its low-bits embedding, the frame a stream of bits in the k lowest bits of every colour
   byte (k from 1 to VORN_COMPACT_MAX_BITS), the carrier keeping its 8 - k bits above them:
   laying a stream into a carrier, reading it back (the salt too: k = 1, colour bytes 0 to 127),
   and the key a password gives. The kit seals and opens the container (kit/compact_seal.h).

   Colour bytes are counted in file order, as the keyed form counts them (pixel bytes of the
   raster; row padding and bytes after the last row are none). Colour byte n holds stream bits
   n k to n k + k - 1, the first of them in its bit k - 1; stream bit i is bit 7 - i % 8 of the
   stream's byte i / 8. */

#define VORN_COMPACT_MAX_BITS 4
#define VORN_COMPACT_SALT_BYTES 16
#define VORN_COMPACT_KEY_BYTES 32

/* The bytes of the stream that fills a picture of this geometry at `low_bits` bits per colour
   byte: (colour bytes * low_bits + 7) / 8, the bits beyond the last field unused.
   VORN_ERR_ARGUMENT for low_bits outside 1..VORN_COMPACT_MAX_BITS, VORN_ERR_SIZE_OVERFLOW when
   it does not fit in size_t. */
vorn_error vorn_compact_stream_length(const vorn_geometry *geometry, unsigned low_bits, size_t *length);

/* The work buffer vorn_compact_carrier() needs: five bytes per colour byte of a row. */
vorn_error vorn_compact_carrier_work_size(const vorn_geometry *geometry, size_t *size);

/* Codes in place: `image` holds the carrier and receives it with the stream in the `low_bits`
   lowest bits of its colour bytes and its own 8 - low_bits bits above them, dithered around those
   fixed bits by serpentine error diffusion (as the keyed form's carrier), so that every coded
   byte is as near its carrier byte as the fixed bits allow and the tones are kept. Row padding
   and bytes after the raster keep their high bits, their low bits 0. `stream` holds
   stream_length bytes, at least vorn_compact_stream_length(); `work` holds
   vorn_compact_carrier_work_size() bytes, aligned as malloc() aligns. Errors, with nothing
   written: those of vorn_check_carrier(), VORN_ERR_BUFFER_TOO_SMALL, VORN_ERR_ARGUMENT. */
vorn_error vorn_compact_carrier(uint8_t *image, size_t length, unsigned low_bits, const uint8_t *stream,
                                size_t stream_length, void *work, size_t work_size);

/* The fields of colour bytes first .. first + count - 1 of a coded picture, at `low_bits` bits
   each, packed as the stream packs them but from bit 0 of `stream` (the field of colour byte
   `first` in its top bits), the bits after the last field 0. stream_length is at least
   (count * low_bits + 7) / 8. VORN_ERR_RANGE when the colour bytes reach beyond the picture's;
   otherwise the errors of vorn_compact_stream_length() and vorn_check_carrier(),
   VORN_ERR_BUFFER_TOO_SMALL. */
vorn_error vorn_compact_read(const uint8_t *coded, size_t length, unsigned low_bits, uint64_t first,
                             uint64_t count, uint8_t *stream, size_t stream_length);

/* The compact form's key from a password (UTF-8 as given, not empty): Argon2id with this salt at
   the keyed form's cost, VORN_COMPACT_KEY_BYTES bytes into `key`. In the libraries that have the
   keyed calls. VORN_ERR_PASSWORD_EMPTY, VORN_ERR_KEY_MEMORY (no memory for the derivation),
   VORN_ERR_ARGUMENT. */
vorn_error vorn_compact_key(const char *password, size_t password_length,
                            const uint8_t salt[VORN_COMPACT_SALT_BYTES], uint8_t key[VORN_COMPACT_KEY_BYTES]);

#ifdef __cplusplus
}
#endif

#endif /* VORN_H */
