"""The reference embeddings the benchmark reads the real forms against, made in NumPy: a rate r
means round(r * n) of the picture's n colour bytes, chosen at random, each carry a random message
bit (so about r/2 of them change).
"""
import numpy as np


def chosen_bytes(shape, rate, rng):
    """A mask choosing round(rate * n) of the n colour bytes at random, and random message bits."""
    count = shape[0] * shape[1] * shape[2]
    mask = np.zeros(count, dtype=bool)
    mask[rng.permutation(count)[:int(round(rate * count))]] = True
    return mask.reshape(shape), rng.integers(0, 2, shape, dtype=np.uint8)


def lsb_replacement(pixels, rate, rng):
    """The chosen bytes' low bits overwritten with the message's bits."""
    mask, bits = chosen_bytes(pixels.shape, rate, rng)
    return np.where(mask, (pixels & 0xFE) | bits, pixels).astype(np.uint8)


def lsb_matching(pixels, rate, rng):
    """±1 embedding: a chosen byte whose low bit differs from the message's bit is moved up or down
    by one at random (up at 0, down at 255)."""
    mask, bits = chosen_bytes(pixels.shape, rate, rng)
    step = rng.choice(np.array([-1, 1], dtype=np.int16), pixels.shape)
    step[pixels == 0], step[pixels == 255] = 1, -1
    change = mask & ((pixels & 1) != bits)
    return (pixels.astype(np.int16) + change * step).astype(np.uint8)
