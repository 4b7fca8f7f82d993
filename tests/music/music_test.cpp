// The music component over SDL2_mixer, run with the dummy audio driver, and the game's link to it.
#include "music_component.h"
#include "music_link.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <filesystem>
#include <fstream>
#include <future>
#include <gtest/gtest.h>
#include <mutex>
#include <thread>
#include <unistd.h>

namespace {

const std::string componentPath = TS_PROGRAM_DIR "/Tilex/mp3play.so";

std::filesystem::path scratch(const std::string& name) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("tilex-music-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir / name;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string le(uint32_t v, int bytes) {
    std::string s;
    for (int i = 0; i < bytes; ++i)
        s += static_cast<char>(v >> (8 * i));
    return s;
}

std::string sineWav() {
    const uint32_t rate = 22050;
    std::string samples;
    for (uint32_t i = 0; i < rate / 2; ++i)
        samples +=
            le(static_cast<uint16_t>(static_cast<int16_t>(8000 * std::sin(i * 2 * M_PI * 440 / rate))), 2);
    return "RIFF" + le(36 + static_cast<uint32_t>(samples.size()), 4) + "WAVEfmt " + le(16, 4) + le(1, 2) +
           le(1, 2) + le(rate, 4) + le(rate * 2, 4) + le(2, 2) + le(16, 2) + "data" +
           le(static_cast<uint32_t>(samples.size()), 4) + samples;
}

std::string be(uint32_t v, int bytes) {
    std::string s;
    for (int i = bytes - 1; i >= 0; --i)
        s += static_cast<char>(v >> (8 * i));
    return s;
}

// One track: a C major arpeggio on the piano.
std::string smallMidi() {
    std::string track;
    for (int note : {60, 64, 67, 72}) {
        track += std::string("\x00\x90", 2) + static_cast<char>(note) + "\x60";
        track += std::string("\x60\x80", 2) + static_cast<char>(note) + std::string("\x00", 1);
    }
    track += std::string("\x00\xFF\x2F\x00", 4);
    return "MThd" + be(6, 4) + be(0, 2) + be(1, 2) + be(96, 2) + "MTrk" +
           be(static_cast<uint32_t>(track.size()), 4) + track;
}

// The component as the game binds it, loaded once for the tests that call it directly.
const music::MusicApi& component() {
    static const music::MusicComponent loaded = [] {
        music::MusicComponent c;
        std::string problem;
        EXPECT_TRUE(c.load(componentPath, &problem)) << problem;
        return c;
    }();
    return loaded.api();
}

// Runs a file on a worker and reports whether it reached the playing state before it is stopped
// through the original state.
struct RunOutcome {
    bool reachedPlaying = false;
    int result = -1;
};

RunOutcome playAndStop(const music::MusicApi& c, const std::string& file) {
    PlayerState state{};
    EXPECT_EQ(c.player_init(&state), PLAYER_OK);
    PlayerState shared = state; // the worker plays on this copy, visible here for the status word
    std::promise<int> done;
    auto finished = done.get_future();
    std::thread worker([&] {
        const char* argv[] = {file.c_str()};
        done.set_value(c.player_run(&shared, 1, argv));
    });
    RunOutcome outcome;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        if (finished.wait_for(std::chrono::milliseconds(10)) == std::future_status::ready) break;
        if (__atomic_load_n(&shared.words[3], __ATOMIC_ACQUIRE) == PLAYER_PLAYING) {
            outcome.reachedPlaying = true;
            break;
        }
    }
    state.words[3] = PLAYER_STOP;
    EXPECT_EQ(c.player_stop(&state), PLAYER_OK);
    worker.join();
    outcome.result = finished.get();
    EXPECT_EQ(c.player_finish(&state), PLAYER_OK);
    return outcome;
}

} // namespace

TEST(MusicComponent, PlaysEachKindUntilStoppedThroughTheOriginalState) {
    const music::MusicApi& c = component();
    ASSERT_NE(c.player_run, nullptr);
    const auto wav = scratch("tone.wav");
    writeFile(wav, sineWav());
    const auto midi = scratch("tune.mid");
    writeFile(midi, smallMidi());
    std::vector<std::string> files = {wav.string(), midi.string()};
    const std::string mp3 = TS_PROGRAM_DIR "/Tilex/default.mp3";
    if (std::filesystem::exists(mp3)) files.push_back(mp3);
    for (const std::string& file : files) {
        const RunOutcome outcome = playAndStop(c, file);
        EXPECT_TRUE(outcome.reachedPlaying) << file;
        EXPECT_EQ(outcome.result, PLAYER_OK) << file;
    }
}

TEST(MusicComponent, RefusesBadFilesAndStates) {
    const music::MusicApi& c = component();
    ASSERT_NE(c.player_run, nullptr);
    const auto broken = scratch("broken.mp3");
    writeFile(broken, std::string(4000, '\x5a'));
    const struct {
        std::string file;
        int result;
    } cases[] = {{broken.string(), PLAYER_BAD_FILE}, {scratch("absent.wav").string(), PLAYER_BAD_FILE}};
    for (const auto& k : cases) {
        PlayerState state{};
        c.player_init(&state);
        const char* argv[] = {k.file.c_str()};
        EXPECT_EQ(c.player_run(&state, 1, argv), k.result) << k.file;
        EXPECT_EQ(c.player_run(&state, 0, argv), PLAYER_BAD_ARGUMENTS);
        EXPECT_EQ(c.player_finish(&state), PLAYER_OK);
        EXPECT_EQ(c.player_finish(&state), PLAYER_BAD_STATE);
    }
    PlayerState zero{};
    const char* argv[] = {"x.wav"};
    EXPECT_EQ(c.player_run(&zero, 1, argv), PLAYER_BAD_STATE);
    EXPECT_EQ(c.player_stop(&zero), PLAYER_BAD_STATE);
    EXPECT_EQ(c.player_init(nullptr), PLAYER_BAD_ARGUMENTS);
}

TEST(MusicLink, ReportsWhyMusicDidNotStart) {
    const auto wav = scratch("link.wav");
    writeFile(wav, sineWav());
    tilex::MusicLink missing;
    EXPECT_EQ(missing.start("/nonexistent/mp3play.so", wav.string()), tilex::MusicStart::NoComponent);
    EXPECT_FALSE(missing.loaded());
    tilex::MusicLink incomplete;
    EXPECT_EQ(incomplete.start("libm.so.6", wav.string()), tilex::MusicStart::MissingEntry);
    tilex::MusicLink noFile;
    EXPECT_EQ(noFile.start(componentPath, scratch("absent.mp3").string()), tilex::MusicStart::NoFile);
    EXPECT_TRUE(noFile.loaded());
    EXPECT_FALSE(noFile.playing());

    tilex::MusicLink link;
    EXPECT_EQ(link.start(componentPath, wav.string()), tilex::MusicStart::Playing);
    EXPECT_TRUE(link.playing());
    link.stop();
    EXPECT_FALSE(link.playing());
    EXPECT_TRUE(link.play(wav.string()));
    EXPECT_TRUE(link.play(wav.string())); // a second file replaces the first
    link.stop();
    link.stop();
}

TEST(MusicLink, ABrokenFileReportsItsEnd) {
    const auto broken = scratch("broken-link.mp3");
    writeFile(broken, std::string(4000, '\x5a'));
    std::mutex mutex;
    std::condition_variable wake;
    int reported = -1;
    unsigned reportedRun = 0;
    tilex::MusicLink link([&](unsigned run, int result) {
        std::lock_guard lock(mutex);
        reportedRun = run;
        reported = result;
        wake.notify_all();
    });
    ASSERT_EQ(link.start(componentPath, broken.string()), tilex::MusicStart::Playing);
    std::unique_lock lock(mutex);
    ASSERT_TRUE(wake.wait_for(lock, std::chrono::seconds(10), [&] { return reported >= 0; }));
    EXPECT_EQ(reported, PLAYER_BAD_FILE);
    EXPECT_EQ(reportedRun, link.currentRun());
    EXPECT_EQ(reportedRun, 1u);
}

TEST(MusicComponent, ARunWaitingForTheDeviceStillStops) {
    const music::MusicApi& c = component();
    ASSERT_NE(c.player_run, nullptr);
    const auto wav = scratch("turns.wav");
    writeFile(wav, sineWav());
    const std::string file = wav.string();
    PlayerState first{};
    PlayerState second{};
    c.player_init(&first);
    c.player_init(&second);
    PlayerState firstCopy = first;
    PlayerState secondCopy = second;
    std::promise<int> firstDone;
    std::promise<int> secondDone;
    auto firstResult = firstDone.get_future();
    auto secondResult = secondDone.get_future();
    std::thread one([&] {
        const char* argv[] = {file.c_str()};
        firstDone.set_value(c.player_run(&firstCopy, 1, argv));
    });
    while (__atomic_load_n(&firstCopy.words[3], __ATOMIC_ACQUIRE) != PLAYER_PLAYING)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::thread two([&] {
        const char* argv[] = {file.c_str()};
        secondDone.set_value(c.player_run(&secondCopy, 1, argv));
    });
    // The second waits for the device; stopping it must not wait for the first.
    c.player_stop(&second);
    ASSERT_EQ(secondResult.wait_for(std::chrono::seconds(10)), std::future_status::ready);
    EXPECT_EQ(secondResult.get(), PLAYER_OK);
    two.join();
    c.player_stop(&first);
    one.join();
    EXPECT_EQ(firstResult.get(), PLAYER_OK);
    c.player_finish(&first);
    c.player_finish(&second);
}
