// Finds the plug-in's functions by their exported symbol names, as a renderer or
// another shader library does: dlopen and dlsym only, no link-time dependency.
#ifndef QORN_TESTS_PLUGIN_SYMBOLS_H
#define QORN_TESTS_PLUGIN_SYMBOLS_H

#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>

#include "noise_corpus.h"

namespace qorn::test {

/// The plug-in path: $QORN_PLUGIN when set, else the one this program was built with.
inline const char* plugin_path() {
    const char* env = getenv("QORN_PLUGIN");
#ifdef QORN_PLUGIN_PATH
    return env && *env ? env : QORN_PLUGIN_PATH;
#else
    return env;
#endif
}

struct MaxApi {
    float (*max2)(float, float);
    float (*max3)(float, float, float);
    float (*maxmax4)(float, float, float, float);
};

class Plugin {
public:
    explicit Plugin(const char* path) : handle_(path ? dlopen(path, RTLD_NOW | RTLD_LOCAL) : nullptr) {
        if (!handle_) error_ = path ? dlerror() : "no plug-in path";
    }
    ~Plugin() {
        if (handle_) dlclose(handle_);
    }
    Plugin(const Plugin&) = delete;
    Plugin& operator=(const Plugin&) = delete;

    bool loaded() const { return handle_ != nullptr; }
    const char* error() const { return error_; }

    /// The address of `name`, or null (with error() set) when it is not exported.
    template <class Fn>
    Fn find(const char* name) {
        void* p = handle_ ? dlsym(handle_, name) : nullptr;
        if (!p) error_ = handle_ ? dlerror() : error_;
        return reinterpret_cast<Fn>(p);
    }

    NoiseApi noise_api() {
        NoiseApi api;
        api.noise = find<decltype(api.noise)>("_ZN7FWorley5noiseEfffmPfP8miVectorPm");
        api.noise_metric =
            find<decltype(api.noise_metric)>("_ZN7FWorley5noiseERK8DistTypeRK8miVectorfffmPfPS3_Pm");
        api.add_samples =
            find<decltype(api.add_samples)>("_ZN7FWorley10AddSamplesElllmRK8miVectorPfPS0_Pm");
        api.add_samples_metric = find<decltype(api.add_samples_metric)>(
            "_ZN7FWorley10AddSamplesERK8DistTypeRK8miVectorlllmS5_PfPS3_Pm");
        return api;
    }

    MaxApi max_api() {
        return MaxApi{find<float (*)(float, float)>("_Z6mrmax2ff"),
                      find<float (*)(float, float, float)>("_Z6mrmax3fff"),
                      find<float (*)(float, float, float, float)>("_Z9mrmaxmax4ffff")};
    }

private:
    void* handle_;
    const char* error_ = nullptr;
};

}  // namespace qorn::test

#endif
