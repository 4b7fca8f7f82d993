// Music over SDL2_mixer. Every initialised state names a player in a registry, so copies of the
// state taken by a worker thread reach the same stop flag as the window's original.
#include "mp3play.h"

#include <SDL.h>
#include <SDL_mixer.h>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <map>
#include <memory>
#include <mutex>
#include <sys/stat.h>

namespace {

constexpr uint32_t stateMagic = 0x50334d50; // "PM3P"

struct Player {
    std::mutex mutex;
    std::condition_variable wake;
    bool stopRequested = false;
};

std::mutex registryMutex;
std::map<uint32_t, std::shared_ptr<Player>> registry;
uint32_t nextId = 1;
// The mixer plays one music at a time; runs take turns on the device. A run waiting for its
// turn still answers a stop.
std::timed_mutex deviceMutex;

bool stopRequested(Player& player) {
    std::lock_guard lock(player.mutex);
    return player.stopRequested;
}

std::shared_ptr<Player> find(const PlayerState* state) {
    if (state == nullptr || state->words[0] != stateMagic) return nullptr;
    std::lock_guard lock(registryMutex);
    const auto found = registry.find(state->words[1]);
    return found == registry.end() ? nullptr : found->second;
}

bool fileExists(const char* path) {
    struct stat info {};
    return stat(path, &info) == 0 && S_ISREG(info.st_mode);
}

// MIDI needs a General MIDI sound font; use the system's default when none is configured.
void chooseSoundFont() {
    if (std::getenv("SDL_SOUNDFONTS") != nullptr) return;
    for (const char* font : {"/usr/share/sounds/sf2/FluidR3_GM.sf2", "/usr/share/sounds/sf2/default-GM.sf2",
                             "/usr/share/sounds/sf2/TimGM6mb.sf2"}) {
        if (fileExists(font)) {
            Mix_SetSoundFonts(font);
            return;
        }
    }
}

struct AudioDevice {
    bool open = false;
    AudioDevice() {
        // SDL would otherwise take SIGINT and SIGTERM for itself, and the host program would no
        // longer end on them while music plays.
        SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return;
        if (Mix_OpenAudio(44100, MIX_DEFAULT_FORMAT, 2, 2048) != 0) {
            SDL_QuitSubSystem(SDL_INIT_AUDIO);
            return;
        }
        open = true;
    }
    ~AudioDevice() {
        if (!open) return;
        Mix_CloseAudio();
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
    AudioDevice(const AudioDevice&) = delete;
    AudioDevice& operator=(const AudioDevice&) = delete;
};

struct MusicCloser {
    void operator()(Mix_Music* music) const { Mix_FreeMusic(music); }
};

} // namespace

extern "C" {

__attribute__((visibility("default"))) int player_init(PlayerState* state) {
    if (state == nullptr) return PLAYER_BAD_ARGUMENTS;
    std::lock_guard lock(registryMutex);
    const uint32_t id = nextId++;
    registry.emplace(id, std::make_shared<Player>());
    *state = PlayerState{};
    state->words[0] = stateMagic;
    state->words[1] = id;
    state->words[3] = PLAYER_IDLE;
    return PLAYER_OK;
}

__attribute__((visibility("default"))) int player_run(PlayerState* state, int argc, const char* const* argv) {
    const auto player = find(state);
    if (!player) return PLAYER_BAD_STATE;
    if (argc < 1 || argv == nullptr || argv[0] == nullptr) return PLAYER_BAD_ARGUMENTS;
    if (stopRequested(*player)) return PLAYER_OK;
    if (!fileExists(argv[0])) return PLAYER_BAD_FILE;
    std::unique_lock device(deviceMutex, std::defer_lock);
    while (!device.try_lock_for(std::chrono::milliseconds(50)))
        if (stopRequested(*player)) return PLAYER_OK;
    AudioDevice audio;
    if (!audio.open) return PLAYER_NO_AUDIO;
    chooseSoundFont();
    std::unique_ptr<Mix_Music, MusicCloser> music(Mix_LoadMUS(argv[0]));
    if (!music || Mix_PlayMusic(music.get(), -1) != 0) return PLAYER_BAD_FILE;
    __atomic_store_n(&state->words[3], PLAYER_PLAYING, __ATOMIC_RELEASE);
    {
        std::unique_lock lock(player->mutex);
        player->wake.wait(lock, [&] { return player->stopRequested; });
    }
    Mix_HaltMusic();
    __atomic_store_n(&state->words[3], PLAYER_ENDED, __ATOMIC_RELEASE);
    return PLAYER_OK;
}

__attribute__((visibility("default"))) int player_stop(PlayerState* state) {
    const auto player = find(state);
    if (!player) return PLAYER_BAD_STATE;
    {
        std::lock_guard lock(player->mutex);
        player->stopRequested = true;
    }
    player->wake.notify_all();
    state->words[3] = PLAYER_STOP;
    return PLAYER_OK;
}

__attribute__((visibility("default"))) int player_finish(PlayerState* state) {
    if (state == nullptr || state->words[0] != stateMagic) return PLAYER_BAD_STATE;
    std::shared_ptr<Player> player;
    {
        std::lock_guard lock(registryMutex);
        const auto found = registry.find(state->words[1]);
        if (found == registry.end()) return PLAYER_BAD_STATE;
        player = found->second;
        registry.erase(found);
    }
    // A run still waiting on this player must not wait for ever.
    {
        std::lock_guard lock(player->mutex);
        player->stopRequested = true;
    }
    player->wake.notify_all();
    *state = PlayerState{};
    return PLAYER_OK;
}

} // extern "C"
