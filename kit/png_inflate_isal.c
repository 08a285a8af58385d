/* zlib's inflate, as libspng calls it, over ISA-L's isal_inflate(), which inflates PNG image
 * data about three times as fast (see png_inflate_isal.h for how libspng is pointed here).
 *
 * What is answered as zlib answers it: a zlib stream (window bits 8 to 15, the two header bytes
 * checked here, ISA-L inflating the rest and, unless inflateValidate() turned it off, checking
 * the Adler-32 trailer) or raw deflate data (window bits -8 to -15); total_in, total_out, adler
 * and msg; Z_OK when bytes moved, Z_BUF_ERROR when none could, Z_STREAM_END once the stream is
 * done and Z_DATA_ERROR for damaged data. Dictionaries and gzip are not: libspng asks for
 * neither. */
#include "png_inflate_isal.h"

#include <zlib.h>

#include <isa-l/crc.h>
#include <isa-l/igzip_lib.h>

#include <stdlib.h>
#include <string.h>

struct isal_inflater {
    struct inflate_state state;
    int wrapped;           /* a zlib header and trailer around the deflate data */
    unsigned header_seen;  /* of the zlib header's two bytes */
    unsigned char header[2];
    int finished;
};

static struct isal_inflater* inflater_of(z_streamp strm)
{
    return strm ? (struct isal_inflater*)(void*)strm->state : NULL;
}

int inflateInit2_(z_streamp strm, int windowBits, const char* version, int stream_size)
{
    struct isal_inflater* inflater;
    if (!version || version[0] != ZLIB_VERSION[0] || stream_size != (int)sizeof(z_stream)) return Z_VERSION_ERROR;
    if (!strm) return Z_STREAM_ERROR;
    strm->msg = Z_NULL;
    strm->state = Z_NULL;
    if (!((windowBits >= 8 && windowBits <= 15) || (windowBits >= -15 && windowBits <= -8))) return Z_STREAM_ERROR;
    /* libspng gives its own allocator, which counts what it hands out; others take malloc(). */
    inflater = strm->zalloc ? (struct isal_inflater*)strm->zalloc(strm->opaque, 1, sizeof *inflater)
                            : (struct isal_inflater*)malloc(sizeof *inflater);
    if (!inflater) return Z_MEM_ERROR;
    memset(inflater, 0, sizeof *inflater);
    isal_inflate_init(&inflater->state);
    inflater->wrapped = windowBits > 0;
    inflater->state.crc_flag = inflater->wrapped ? ISAL_ZLIB_NO_HDR_VER : ISAL_DEFLATE;
    strm->state = (struct internal_state*)(void*)inflater;
    strm->total_in = strm->total_out = 0;
    strm->adler = 1;
    return Z_OK;
}

int inflateValidate(z_streamp strm, int check)
{
    struct isal_inflater* inflater = inflater_of(strm);
    if (!inflater) return Z_STREAM_ERROR;
    /* Without the check, the trailer is left unread, as zlib leaves it unchecked. */
    if (inflater->wrapped) inflater->state.crc_flag = check ? ISAL_ZLIB_NO_HDR_VER : ISAL_DEFLATE;
    return Z_OK;
}

int inflateEnd(z_streamp strm)
{
    struct isal_inflater* inflater = inflater_of(strm);
    if (!inflater) return Z_STREAM_ERROR;
    if (strm->zfree)
        strm->zfree(strm->opaque, inflater);
    else
        free(inflater);
    strm->state = Z_NULL;
    return Z_OK;
}

static int refuse(z_streamp strm, const char* why)
{
    strm->msg = (char*)why;
    return Z_DATA_ERROR;
}

/* Takes the zlib header's bytes as they come; Z_OK once both are in and sound. */
static int read_header(z_streamp strm, struct isal_inflater* inflater)
{
    while (inflater->header_seen < 2 && strm->avail_in > 0) {
        inflater->header[inflater->header_seen++] = *strm->next_in++;
        strm->avail_in--;
        strm->total_in++;
        if (inflater->header_seen < 2) continue;
        if ((inflater->header[0] * 256u + inflater->header[1]) % 31 != 0) return refuse(strm, "incorrect header check");
        if ((inflater->header[0] & 15) != Z_DEFLATED) return refuse(strm, "unknown compression method");
        if ((inflater->header[0] >> 4) > 7) return refuse(strm, "invalid window size");
        if (inflater->header[1] & 0x20) return refuse(strm, "a preset dictionary is not supported");
    }
    return Z_OK;
}

int inflate(z_streamp strm, int flush)
{
    struct isal_inflater* inflater = inflater_of(strm);
    uInt in_before, out_before, moved_in, moved_out;
    int result;
    (void)flush; /* every call inflates what it can, as Z_NO_FLUSH asks */
    if (!inflater || (!strm->next_in && strm->avail_in) || !strm->next_out) return Z_STREAM_ERROR;
    if (inflater->finished) return Z_STREAM_END;
    in_before = strm->avail_in;
    if (inflater->wrapped && inflater->header_seen < 2) {
        if (read_header(strm, inflater) != Z_OK) return Z_DATA_ERROR;
        if (inflater->header_seen < 2) return in_before > 0 ? Z_OK : Z_BUF_ERROR;
    }
    out_before = strm->avail_out;
    inflater->state.next_in = (uint8_t*)strm->next_in;
    inflater->state.avail_in = strm->avail_in;
    inflater->state.next_out = strm->next_out;
    inflater->state.avail_out = strm->avail_out;
    result = isal_inflate(&inflater->state);
    moved_in = strm->avail_in - inflater->state.avail_in;
    moved_out = out_before - inflater->state.avail_out;
    strm->next_in += moved_in;
    strm->avail_in -= moved_in;
    strm->total_in += moved_in;
    strm->next_out += moved_out;
    strm->avail_out -= moved_out;
    strm->total_out += moved_out;
    if (result == ISAL_INCORRECT_CHECKSUM) return refuse(strm, "incorrect data check");
    if (result < 0) return refuse(strm, "invalid deflate data");
    if (inflater->state.block_state == ISAL_BLOCK_FINISH) {
        inflater->finished = 1;
        if (inflater->wrapped) strm->adler = inflater->state.crc;
        return Z_STREAM_END;
    }
    return in_before != strm->avail_in || moved_out > 0 ? Z_OK : Z_BUF_ERROR;
}

uLong crc32(uLong crc, const Bytef* buf, uInt len)
{
    if (!buf) return 0;
    return crc32_gzip_refl((uint32_t)crc, buf, len);
}
