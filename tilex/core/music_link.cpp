#include "music_link.h"

#include "regular_file.h"

namespace tilex {

MusicLink::MusicLink(std::function<void(unsigned, int)> finished) : finished_(std::move(finished)) {}

MusicLink::~MusicLink() {
    stop();
}

MusicStart MusicLink::start(const std::string& componentPath, const std::string& file) {
    if (!module_) {
        auto module = components::ModuleHandle::open(componentPath);
        if (!module) return MusicStart::NoComponent;
        Api api;
        if (!module.bind("player_init", api.init) || !module.bind("player_run", api.run) ||
            !module.bind("player_stop", api.stop) || !module.bind("player_finish", api.finish))
            return MusicStart::MissingEntry;
        api_ = api;
        module_ = std::move(module);
    }
    return play(file) ? MusicStart::Playing : MusicStart::NoFile;
}

bool MusicLink::play(const std::string& file) {
    if (!module_ || !isRegularFile(file)) return false;
    stop();
    state_ = PlayerState{};
    api_.init(&state_);
    auto stopped = std::make_shared<std::atomic<bool>>(false);
    stopped_ = stopped;
    // The worker owns copies of the state and the path; stopping through the original is the
    // only contact with it.
    const unsigned runNumber = ++run_;
    worker_ = std::thread(
        [run = api_.run, state = state_, path = file, stopped, report = finished_, runNumber]() mutable {
            const char* argv[] = {path.c_str()};
            const int result = run(&state, 1, argv);
            if (!*stopped && report) report(runNumber, result);
        });
    return true;
}

void MusicLink::stop() {
    if (!worker_.joinable()) return;
    *stopped_ = true;
    state_.words[3] = PLAYER_STOP;
    api_.stop(&state_);
    worker_.join();
    api_.finish(&state_);
}

} // namespace tilex
