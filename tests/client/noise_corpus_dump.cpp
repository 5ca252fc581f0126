// Prints every output bit of the noise corpus, computed through the plug-in's exported
// symbols, followed by its digest. Diffing two dumps (say the 32-bit and the 64-bit
// build) shows the first call where they part.
// Usage: noise_corpus_dump [PLUGIN.so]
#include <inttypes.h>
#include <stdio.h>

#include "plugin_symbols.h"

int main(int argc, char** argv) {
    qorn::test::Plugin plugin(argc > 1 ? argv[1] : qorn::test::plugin_path());
    const qorn::test::NoiseApi api = plugin.noise_api();
    if (!plugin.loaded() || !api.noise || !api.noise_metric || !api.add_samples ||
        !api.add_samples_metric) {
        fprintf(stderr, "noise_corpus_dump: %s\n", plugin.error());
        return 1;
    }
    qorn::test::CorpusSink sink(stdout);
    qorn::test::run_noise_corpus(api, sink);
    printf("digest %016" PRIx64 "\n", sink.hash());
    return 0;
}
