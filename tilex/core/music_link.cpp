#include "music_link.h"

#include "regular_file.h"

namespace tilex {

MusicLink::MusicLink(std::function<void(unsigned, int)> finished) : finished_(std::move(finished)) {}

MusicLink::~MusicLink() {
    stop();
}

MusicStart MusicLink::start(const std::string& componentPath, const std::string& file) {
    if (!component_.loaded() && !component_.load(componentPath))
        return component_.lacksEntry() ? MusicStart::MissingEntry : MusicStart::NoComponent;
    return play(file) ? MusicStart::Playing : MusicStart::NoFile;
}

bool MusicLink::play(const std::string& file) {
    if (!component_.loaded() || !isRegularFile(file)) return false;
    stop();
    state_ = PlayerState{};
    component_.api().player_init(&state_);
    auto stopped = std::make_shared<std::atomic<bool>>(false);
    stopped_ = stopped;
    // The worker owns copies of the state and the path; stopping through the original is the
    // only contact with it.
    const unsigned runNumber = ++run_;
    worker_ = std::thread([run = component_.api().player_run, state = state_, path = file, stopped,
                           report = finished_, runNumber]() mutable {
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
    component_.api().player_stop(&state_);
    worker_.join();
    component_.api().player_finish(&state_);
}

} // namespace tilex
