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
import steganalysis_simulate as simulate  # noqa: E402
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
    return simulate.lsb_replacement(picture, rate, np.random.default_rng(seed))


def lsb_matching(picture, rate, seed):
    return simulate.lsb_matching(picture, rate, np.random.default_rng(seed))


@pytest.mark.parametrize("rate", [0.0, 0.1, 1.0])
def test_simulations_change_what_their_rate_says(rate):
    cover = synthetic_cover(0)
    cover[:8], cover[-8:] = 0, 255            # clipped values must not wrap
    for embed in (lsb_replacement, lsb_matching):
        stego = embed(cover, rate, 1).astype(int)
        difference = stego - cover
        assert set(np.unique(difference)) <= {-1, 0, 1} and stego.min() >= 0
        assert np.all(difference[:8] >= 0) and np.all(difference[-8:] <= 0)
        # About half of the chosen bytes already hold the message's bit.
        assert np.mean(difference != 0) == pytest.approx(rate / 2, abs=0.01)
    assert np.all((lsb_replacement(cover, 1.0, 1) ^ cover) <= 1)   # the low bit alone


ESTIMATORS = [detectors.rs_estimate, detectors.spa_estimate, detectors.ws_estimate,
              lambda picture: detectors.ws_estimate(picture, bias_correction=False)]


@pytest.mark.parametrize("estimate", ESTIMATORS, ids=["RS", "SPA", "WS", "WS uncorrected"])
@pytest.mark.parametrize("rate", [0.0, 0.2, 0.5])
def test_estimators_read_the_rate_of_lsb_replacement(estimate, rate):
    for seed in range(3):
        picture = lsb_replacement(synthetic_cover(seed), rate, seed + 10)
        assert estimate(picture) == pytest.approx(rate, abs=0.05)


@pytest.mark.parametrize("a, b, c, root", [
    (1, -3, 2, 1),          # roots 1 and 2: the one nearer zero
    (1, 1, -2, 1),          # roots 1 and -2
    (0, 2, -1, 0.5),        # linear
    (1, 0, 1, 0),           # complex roots: the vertex
])
def test_smaller_root(a, b, c, root):
    assert detectors.smaller_root(a, b, c) == pytest.approx(root)


def test_detectors_take_a_flat_picture():
    flat = np.full((16, 16, 3), 128, dtype=np.uint8)
    assert detectors.chi_square(flat) == (0.0, -1e9)
    assert all(np.isfinite(value) for value in detectors.scores(flat).values())


def test_ws_bias_correction_undoes_the_inflation_of_flat_areas():
    # Nearly flat shading: neighbouring low bits agree, so the changed neighbours pull the
    # prediction along and the uncorrected estimate reads high.
    rng = np.random.default_rng(0)
    y, x = np.mgrid[0:SIDE, 0:SIDE] / SIDE
    flat = np.round(100 + 20 * x + 30 * (y > 0.5) + rng.normal(0, 0.4, (3, SIDE, SIDE)))
    stego = lsb_replacement(flat.transpose(1, 2, 0).astype(np.uint8), 0.2, 1)
    corrected, plain = detectors.ws_estimate(stego), detectors.ws_estimate(stego, False)
    assert abs(corrected - 0.2) < 0.02 < plain - 0.2


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
        assert hcf(lsb_matching(cover, 1.0, seed)) > hcf(cover)


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


def test_folds_keep_groups_together_and_even():
    groups = [f"scene {i // 2}" for i in range(40)]    # two samples a group
    fold = spam.fold_of(groups, 5, seed=3)
    assert all(fold[i] == fold[i + 1] for i in range(0, 40, 2))
    assert sorted(np.bincount(fold)) == [8] * 5


def test_trained_detector_learns_a_shift_and_not_noise():
    rng = np.random.default_rng(0)
    cover = rng.normal(size=(60, spam.SPAM_FEATURES))
    groups = [f"crop {i}" for i in range(60)]
    shifted = cover + rng.normal(size=cover.shape) * 0.5 + 1.0 * (np.arange(cover.shape[1]) < 20)
    mean, spread = spam.cross_validated_auc(cover, shifted, groups)
    assert mean > 0.9 and spread < 0.1
    mean, _ = spam.cross_validated_auc(cover, rng.normal(size=cover.shape), groups)
    assert abs(mean - 0.5) < 0.2


@pytest.mark.parametrize("note, expected", [
    ("vorn: hidden picture 1 (32x32) as lossless WebP, 2 KB; the carrier keeps 7 of its 8 bits",
     (16000, None)),
    ("vorn: hidden picture 1 (64x64) as lossy WebP at quality 89, 6 KB (34.0 dB); ...\n"
     "vorn: hidden picture 2 (8x8) as lossless WebP, 412 bytes; ...", (51296, None)),
    ("vorn: hidden picture 1 stored, 2 bits per colour byte, scrambled", (None, 2.0)),
    ("vorn: wrote o.png (128x128, keyed) in 1290 ms", (None, None)),
])
def test_vorn_notes_give_the_stored_payload(note, expected):
    forms = pytest.importorskip("steganalysis_forms")    # needs Pillow and scikit-image
    assert forms.stored_bits(note) == expected


def test_tables_replace_only_their_part_of_the_page(tmp_path):
    command = pytest.importorskip("steganalysis")          # needs Pillow and scikit-image
    page = tmp_path / "page.md"
    page.write_text(f"intro\n{command.BEGIN}\nold table\n{command.END}\nafter\n")
    command.write(page, "new table\n")
    assert page.read_text() == f"intro\n{command.BEGIN}\nnew table\n{command.END}\nafter\n"
    bare = tmp_path / "bare.md"
    command.write(bare, "new table\n")
    assert bare.read_text() == "new table\n"
