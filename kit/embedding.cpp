// The embeddings a compact picture may be laid in: a new one is its own file and one line here.
#include "embedding.h"

const std::vector<const embedding*>& embeddings()
{
    static const std::vector<const embedding*> all = {&low_bits_embedding(), &stealth_embedding()};
    return all;
}
