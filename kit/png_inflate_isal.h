/* zlib's inflate calls answered by ISA-L, for the libspng that scripts/third-party.sh native
 * builds: its sources are compiled with this header included first, so that their calls of
 * inflateInit2(), inflate(), inflateValidate(), inflateEnd() and crc32() (and zlib.h's
 * declarations of them) take the names below, which png_inflate_isal.c, built into the same
 * library, defines over ISA-L. Deflating (libspng's own writer) stays zlib's. Not part of the
 * kit's build. */
#ifndef VORN_PNG_INFLATE_ISAL_H
#define VORN_PNG_INFLATE_ISAL_H

#define inflateInit2_ vorn_isal_inflateInit2_
#define inflate vorn_isal_inflate
#define inflateValidate vorn_isal_inflateValidate
#define inflateEnd vorn_isal_inflateEnd
#define crc32 vorn_isal_crc32

#endif
