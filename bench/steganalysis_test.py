"""The steganalysis benchmark's check of its own detectors, on small synthetic pictures (NumPy
alone, a few seconds): the payload estimators read simulated LSB replacement at its rate and
untouched pictures near 0, the chi-square attack tells a full replacement from a cover, the HCF
tests see ±1 noise, the trained detector learns a plain difference, and the AUC is the rank
formula's.

    /usr/bin/python3 -m pytest -q bench/steganalysis_test.py
"""
import sys
from pathlib import Path

import numpy as np
import pytest

sys.dont_write_bytecode = True
sys.path.insert(0, str(Path(__file__).resolve().parent))
import steganalysis_detectors as detectors  # noqa: E402
import steganalysis_spam as spam  # noqa: E402

SIDE = 128


def synthetic_cover(seed):
    """A photograph-like picture: smooth shading with a few edges, sensor noise, and an 8-bit tone
    curve (which leaves the histogram combed, as a camera's does)."""
    rng = np.random.default_rng(seed)
    y, x = np.mgrid[0:SIDE, 0:SIDE] / SIDE
    picture = np.empty((SIDE, SIDE, 3), dtype=np.uint8)
    for c in range(3):
        field = 60 + 90 * x + 40 * np.sin(2 * np.pi * (rng.random() + 1.5 * y + 0.7 * x))
        field += 25 * (x + rng.random() * y > 0.8)
        linear = np.clip(np.round(field + rng.normal(0, 1, field.shape)), 0, 255)
        picture[:, :, c] = np.round(255 * (linear / 255) ** 0.8)
    return picture


def lsb_replacement(picture, rate, seed):
    """The low bits of round(rate * n) randomly chosen colour bytes overwritten with random bits."""
    rng = np.random.default_rng(seed)
    flat = picture.ravel().copy()
    chosen = rng.permutation(flat.size)[:int(round(rate * flat.size))]
    flat[chosen] = (flat[chosen] & 0xFE) | rng.integers(0, 2, chosen.size, dtype=np.uint8)
    return flat.reshape(picture.shape)


def lsb_matching_everywhere(picture, seed):
    """Every byte whose low bit differs from a random bit moved up or down by one."""
    rng = np.random.default_rng(seed)
    change = rng.integers(0, 2, picture.shape) != (picture & 1)
    step = np.where(picture == 0, 1, np.where(picture == 255, -1, rng.choice([-1, 1], picture.shape)))
    return (picture.astype(np.int16) + change * step).astype(np.uint8)


ESTIMATORS = [detectors.rs_estimate, detectors.spa_estimate, detectors.ws_estimate,
              lambda picture: detectors.ws_estimate(picture, bias_correction=False)]


@pytest.mark.parametrize("estimate", ESTIMATORS, ids=["RS", "SPA", "WS", "WS uncorrected"])
@pytest.mark.parametrize("rate", [0.0, 0.2, 0.5])
def test_estimators_read_the_rate_of_lsb_replacement(estimate, rate):
    for seed in range(3):
        picture = lsb_replacement(synthetic_cover(seed), rate, seed + 10)
        assert estimate(picture) == pytest.approx(rate, abs=0.05)


def test_chi_square_tells_full_replacement_from_a_cover():
    for seed in range(3):
        cover = synthetic_cover(seed)
        cover_p, cover_score = detectors.chi_square(cover)
        stego_p, stego_score = detectors.chi_square(lsb_replacement(cover, 1.0, seed))
        assert cover_p < 0.05 and stego_p > 0.5 and stego_score > cover_score


@pytest.mark.parametrize("hcf", [detectors.hcf_1d, detectors.hcf_adjacency], ids=["1-D", "adj."])
def test_hcf_scores_rise_with_plus_minus_one_noise(hcf):
    for seed in range(3):
        cover = synthetic_cover(seed)
        assert hcf(lsb_matching_everywhere(cover, seed)) > hcf(cover)


@pytest.mark.parametrize("cover, stego, expected", [
    ([1, 2, 3], [4, 5, 6], 1.0),
    ([4, 5, 6], [1, 2, 3], 0.0),
    ([1, 1], [1, 1, 1], 0.5),
    ([1, 2, 3], [2, 3, 4], 7 / 9),   # 2 ties count half: (1.5 + 2.5 + 3) / 9
])
def test_auc_is_the_mann_whitney_statistic(cover, stego, expected):
    assert spam.auc(cover, stego) == pytest.approx(expected)


def test_spam_features_are_conditional_probabilities():
    cover = synthetic_cover(0)
    rows = spam.rightward(cover[:, :, 0].astype(np.int16)).sum(axis=2)
    assert np.all((np.abs(rows - 1) < 1e-9) | (rows == 0)) and rows[spam.T, spam.T] == 1
    features = spam.spam(cover)
    assert features.shape == (spam.SPAM_FEATURES,) == (686,)
    assert features.min() >= 0 and features.max() <= 1


def test_trained_detector_learns_a_shift_and_not_noise():
    rng = np.random.default_rng(0)
    cover = rng.normal(size=(60, spam.SPAM_FEATURES))
    groups = [f"crop {i}" for i in range(60)]
    shifted = cover + rng.normal(size=cover.shape) * 0.5 + 1.0 * (np.arange(cover.shape[1]) < 20)
    mean, spread = spam.cross_validated_auc(cover, shifted, groups)
    assert mean > 0.9 and spread < 0.1
    mean, _ = spam.cross_validated_auc(cover, rng.normal(size=cover.shape), groups)
    assert abs(mean - 0.5) < 0.2
