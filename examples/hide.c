/* Hides one picture in another in memory and takes it out again, through vorn.h alone. */
#include <stdio.h>
#include <stdlib.h>
#include <vorn.h>

enum { W = 64, H = 48 };

int main(void)
{
    /* Two pictures as R G B rows, top row first: a carrier and the picture to hide. */
    static uint8_t carrier_rgb[H][W][3], secret_rgb[H][W][3];
    for (int y = 0; y < H; ++y)
        for (int x = 0; x < W; ++x)
            for (int c = 0; c < 3; ++c) {
                carrier_rgb[y][x][c] = (uint8_t)(x * 4 + c * 40);
                secret_rgb[y][x][c] = (uint8_t)((x / 8 + y / 8) % 2 ? 255 : 0);
            }

    /* Both become 24-bit BMP file images; the library works on nothing else. */
    size_t length = 0, work_size = 0;
    vorn_bmp_length(W, H, &length);
    uint8_t *carrier = malloc(length), *secret = malloc(length), *found = malloc(length);
    vorn_bmp_from_rgb(&carrier_rgb[0][0][0], W, H, W * 3, 3, carrier, length);
    vorn_bmp_from_rgb(&secret_rgb[0][0][0], W, H, W * 3, 3, secret, length);

    /* The secret goes in as hidden picture 2 alone: four bits per colour byte. The carrier's
       file image becomes the coded one in place. */
    vorn_geometry geometry;
    vorn_error error = vorn_check_carrier(carrier, length, &geometry);
    if (error == VORN_OK) error = vorn_encode_work_size(&geometry, &work_size);
    void *work = malloc(work_size); /* null when the size is 0, which the call accepts */
    int refused = 0;
    if (error == VORN_OK)
        error = vorn_encode(carrier, length, NULL, 0, secret, length, VORN_VORNHOLD2, work,
                            work_size, &refused);
    /* Take the secret out of the coded picture again, as its layout says. Detection, for a
       caller that was not told, is certain only that a picture holds no hidden bits. */
    const vorn_layout layout = vorn_layout_of(VORN_VORNHOLD2, 0, 1);
    vorn_layout guessed = VORN_LAYOUT_NONE;
    if (error == VORN_OK) error = vorn_detect(carrier, length, &guessed);
    if (error == VORN_OK) error = vorn_extract(carrier, length, layout, 2, found, length);
    if (error != VORN_OK) {
        fprintf(stderr, "hide: %s%s\n", refused ? "the hidden picture: " : "", vorn_strerror(error));
        return 1;
    }
    uint8_t rgb[H][W][3];
    vorn_bmp_to_rgb(found, length, &rgb[0][0][0], sizeof rgb);
    printf("library %s (%s keyed pictures): layout %s, %s; the secret's top-left pixel comes "
           "back as %u\n", vorn_version(), vorn_has_keyed() ? "with" : "without",
           vorn_layout_describe(layout)->name,
           guessed == VORN_LAYOUT_NONE ? "no hidden bits" : "hidden bits", rgb[0][0][0]);
    free(work);
    free(found);
    free(secret);
    free(carrier);
    return rgb[0][0][0] < 128 ? 0 : 1;  /* the secret's top-left square is black */
}
