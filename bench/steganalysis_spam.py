"""The trained detector and the measure of every detector: second-order SPAM features (Pevny, Bas
and Fridrich), a regularised Fisher linear discriminant cross-validated over groups of pictures,
and the area under the ROC curve by the rank (Mann-Whitney) formula.
"""
import numpy as np

T = 3                      # differences clipped to [-T, T]
STATES = 2 * T + 1         # values a clipped difference takes
SPAM_FEATURES = 2 * STATES ** 3


def auc(cover_scores, stego_scores):
    """The chance that a stego picture scores above a cover, ties counting half: the Mann-Whitney
    U statistic over the product of the two counts, from the ranks of all scores pooled (tied
    scores sharing their mean rank)."""
    cover = np.asarray(cover_scores, dtype=float)
    stego = np.asarray(stego_scores, dtype=float)
    pooled = np.concatenate([cover, stego])
    _, inverse, counts = np.unique(pooled, return_inverse=True, return_counts=True)
    # Ranks 1..n; a tie of c values starting after `before` values takes before + (c + 1) / 2.
    before = np.concatenate([[0], np.cumsum(counts)[:-1]])
    ranks = (before + (counts + 1) / 2)[inverse]
    stego_rank_sum = ranks[cover.size:].sum()
    return float((stego_rank_sum - stego.size * (stego.size + 1) / 2) / (cover.size * stego.size))


def transitions(differences_a, differences_b, differences_c):
    """P(c = u | b = v, a = w) for the three successive clipped differences of every chain,
    laid out [w, v, u]; 0 where the condition never occurs."""
    codes = (differences_a * STATES + differences_b) * STATES + differences_c
    counts = np.bincount(codes.ravel(), minlength=STATES ** 3).reshape(STATES, STATES, STATES)
    totals = counts.sum(axis=2, keepdims=True)
    return np.divide(counts, totals, out=np.zeros(counts.shape), where=totals > 0)


def rightward(channel):
    """The Markov chain of differences left to right along the rows."""
    d = np.clip(channel[:, :-1] - channel[:, 1:], -T, T) + T
    return transitions(d[:, :-2], d[:, 1:-1], d[:, 2:])


def down_right(channel):
    """The same along the diagonal from top left to bottom right."""
    d = np.clip(channel[:-1, :-1] - channel[1:, 1:], -T, T) + T
    return transitions(d[:-2, :-2], d[1:-1, 1:-1], d[2:, 2:])


def spam_channel(channel):
    """686 features of one channel: the mean of the transition probabilities along the four sides
    (right, left, down, up) and the mean along the four diagonals, each direction reached by
    flipping or transposing the channel."""
    c = channel.astype(np.int16)
    sides = [c, c[:, ::-1], c.T, c.T[:, ::-1]]
    diagonals = [c, c[::-1, ::-1], c[:, ::-1], c[::-1, :]]
    straight = np.mean([rightward(x) for x in sides], axis=0)
    diagonal = np.mean([down_right(x) for x in diagonals], axis=0)
    return np.concatenate([straight.ravel(), diagonal.ravel()])


def spam(picture):
    """The features of a colour picture: each channel's, averaged over the channels."""
    picture = np.asarray(picture)
    return np.mean([spam_channel(picture[:, :, c]) for c in range(picture.shape[2])], axis=0)


# --- The classifier -------------------------------------------------------------------------------

SHRINKAGES = (0.003, 0.03, 0.3)


def fisher_directions(cover, stego, shrinkages):
    """For each shrinkage a, the Fisher discriminant's direction for standardised features:
    ((1 - a) Sw + a tr(Sw)/d I)^-1 (mean stego - mean cover), Sw the pooled within-class
    covariance. With fewer samples than features Sw = C'C / (n - 2) has at most n nonzero
    eigenvalues: one thin SVD of the centred samples C serves every shrinkage. Gives (mean,
    scale, directions)."""
    both = np.concatenate([cover, stego])
    mean, scale = both.mean(axis=0), both.std(axis=0)
    scale[scale == 0] = 1
    cover, stego = (cover - mean) / scale, (stego - mean) / scale
    centred = np.concatenate([cover - cover.mean(axis=0), stego - stego.mean(axis=0)])
    _, singular, vectors = np.linalg.svd(centred, full_matrices=False)
    values = singular ** 2 / max(len(centred) - 2, 1)
    average = max(values.sum() / centred.shape[1], 1e-12)
    difference = stego.mean(axis=0) - cover.mean(axis=0)
    inside = vectors @ difference          # the part of the difference Sw acts on
    outside = difference - vectors.T @ inside
    directions = [vectors.T @ (inside / ((1 - a) * values + a * average)) + outside / (a * average)
                  for a in shrinkages]
    return mean, scale, directions


def project(features, model, which):
    mean, scale, directions = model
    return ((features - mean) / scale) @ directions[which]


def fold_of(groups, folds, seed):
    """A fold for each sample, the same for every sample of a group (a crop's cover and its stego
    versions, or crops of one scene seen twice), folds of nearly equal numbers of groups."""
    names = sorted(set(groups))
    order = np.random.default_rng(seed).permutation(len(names))
    fold_of_name = {names[i]: k % folds for k, i in enumerate(order)}
    return np.array([fold_of_name[g] for g in groups])


def train(cover, stego, groups, seed):
    """The model trained on cover and stego features (rows paired by group), its shrinkage chosen
    by an inner 3-fold cross-validation on the training samples alone."""
    inner = fold_of(groups, 3, seed + 1)
    merits = np.zeros(len(SHRINKAGES))
    for k in range(3):
        model = fisher_directions(cover[inner != k], stego[inner != k], SHRINKAGES)
        for which in range(len(SHRINKAGES)):
            merits[which] += auc(project(cover[inner == k], model, which),
                                 project(stego[inner == k], model, which))
    best = int(np.argmax(merits))
    mean, scale, directions = fisher_directions(cover, stego, [SHRINKAGES[best]])
    return mean, scale, directions


def cross_validated_auc(cover, stego, groups, folds=5, seed=0):
    """AUC of the trained detector on each held-out fold: (mean, standard deviation over the
    folds). cover[i] and stego[i] are the features of the same crop, groups[i] its group."""
    cover, stego = np.asarray(cover), np.asarray(stego)
    fold = fold_of(list(groups), folds, seed)
    values = []
    for k in range(folds):
        held = fold == k
        training_groups = [g for g, f in zip(groups, fold) if f != k]
        model = train(cover[~held], stego[~held], training_groups, seed)
        values.append(auc(project(cover[held], model, 0), project(stego[held], model, 0)))
    return float(np.mean(values)), float(np.std(values, ddof=1))
