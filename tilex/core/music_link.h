// The game's music: the music component (mp3play.so) played on one worker thread per file.
#pragma once

#include "music_component.h"

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tilex {

enum class MusicStart { Playing = 0, NoComponent = 1, MissingEntry = 2, NoFile = 3 };

class MusicLink {
  public:
    // finished(run, result) runs on the worker thread when a run ends by itself (a file that cannot
    // be played); a stopped run does not report. run tells which play() it was.
    explicit MusicLink(std::function<void(unsigned, int)> finished = {});
    ~MusicLink();
    MusicLink(const MusicLink&) = delete;
    MusicLink& operator=(const MusicLink&) = delete;

    // Loads the component (once) and plays the file.
    MusicStart start(const std::string& componentPath, const std::string& file);
    // Plays another file with the component already loaded; false without one or without the file.
    bool play(const std::string& file);
    // Stops the playing file and ends its worker; nothing happens when none plays.
    void stop();
    bool playing() const { return worker_.joinable(); }
    bool loaded() const { return component_.loaded(); }
    // Counts the files played so far; the run number of the latest play().
    unsigned currentRun() const { return run_; }

  private:
    std::function<void(unsigned, int)> finished_;
    unsigned run_ = 0;
    music::MusicComponent component_;
    PlayerState state_{};
    std::thread worker_;
    std::shared_ptr<std::atomic<bool>> stopped_;
};

} // namespace tilex
