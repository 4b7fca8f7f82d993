// The C++ binding of the music component (Tilex/mp3play.so): MusicComponent loads the file and
// binds the four entry points of the one list below; the component counts as missing unless all
// resolve.
#pragma once

#include "bound_component.h"
#include "mp3play.h"

namespace music {

#define MUSIC_ENTRY_POINTS(X)                                                                                \
    X(player_init)                                                                                           \
    X(player_run)                                                                                            \
    X(player_stop)                                                                                           \
    X(player_finish)

COMPONENT_ENTRY_TABLE(MusicApi, MUSIC_ENTRY_POINTS, COMPONENT_NO_ENTRIES)

using MusicComponent = components::BoundComponent<MusicApi>;

} // namespace music
