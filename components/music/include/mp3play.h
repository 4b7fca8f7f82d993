/* Music component: plays one MP3, WAV or MIDI file in a loop on the caller's thread until it is
 * stopped from another thread. Loaded by name with dlopen; a caller treats it as missing unless
 * all four functions resolve.
 *
 * The caller owns a 376-byte player state. player_init fills it; copies of an initialised state
 * refer to the same player, so one thread may run on a copy while another stops it through the
 * original. Word 3 of the state is the status the caller sets to PLAYER_STOP before player_stop. */
#ifndef MP3PLAY_H
#define MP3PLAY_H

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#define PLAYER_STATE_BYTES 376

typedef struct PlayerState {
    uint32_t words[PLAYER_STATE_BYTES / 4];
} PlayerState;

/* Values of words[3]. */
enum { PLAYER_IDLE = 0, PLAYER_PLAYING = 1, PLAYER_ENDED = 2, PLAYER_STOP = 4 };

/* Results. */
enum {
    PLAYER_OK = 0,
    PLAYER_BAD_STATE = 1, /* not initialised, or already finished */
    PLAYER_BAD_ARGUMENTS = 2,
    PLAYER_NO_AUDIO = 3, /* the sound device cannot be opened */
    PLAYER_BAD_FILE = 4  /* the file cannot be read or decoded */
};

/* Makes a new player in the zeroed state. */
int player_init(PlayerState* state);
/* Plays argv[0] (argc must be at least 1) in a loop; returns when stopped, or at once on failure. */
int player_run(PlayerState* state, int argc, const char* const* argv);
/* Asks a running player_run on this player (from any copy of the state) to return. */
int player_stop(PlayerState* state);
/* Releases the player; the state must not be used again without player_init. */
int player_finish(PlayerState* state);

#ifdef __cplusplus
}
#endif

#endif
