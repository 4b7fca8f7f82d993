// Writes the game's default music as a WAV file: an eight-second music-box loop over C, A minor,
// F and G, with the notes' tails folded back to the start so the loop has no seam.
//
//   tilex-tune <output.wav>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace {

constexpr int rate = 22050;
constexpr double beat = 0.25; // eighth notes at 120 beats per minute
constexpr int notesPerChord = 8;

double frequency(int midiNote) {
    return 440.0 * std::pow(2.0, (midiNote - 69) / 12.0);
}

// A struck bell: the tone and its octave, each dying away.
void addBell(std::vector<double>& out, double start, int note, double loudness, double decay) {
    const double f = frequency(note);
    const size_t first = static_cast<size_t>(start * rate);
    const size_t length = static_cast<size_t>(2.5 * rate);
    for (size_t i = 0; i < length; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double attack = std::min(1.0, t / 0.004);
        const double v = attack * (std::sin(2 * M_PI * f * t) * std::exp(-decay * t) +
                                   0.3 * std::sin(4 * M_PI * f * t) * std::exp(-2.5 * decay * t));
        out[(first + i) % out.size()] += loudness * v;
    }
}

void put(std::FILE* file, uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        std::fputc(static_cast<int>((value >> (8 * i)) & 0xFF), file);
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: tilex-tune <output.wav>\n");
        return 2;
    }
    // Chord tones (root, third, fifth, octave) and the bass note of each chord.
    const int chords[4][4] = {{60, 64, 67, 72}, {57, 60, 64, 69}, {53, 57, 60, 65}, {55, 59, 62, 67}};
    const int pattern[notesPerChord] = {0, 1, 2, 3, 2, 1, 2, 3};
    std::vector<double> mix(static_cast<size_t>(4 * notesPerChord * beat * rate), 0.0);
    for (int c = 0; c < 4; ++c) {
        const double chordStart = c * notesPerChord * beat;
        addBell(mix, chordStart, chords[c][0] - 24, 0.55, 1.2);
        for (int n = 0; n < notesPerChord; ++n) {
            const int note = chords[c][pattern[n]] + 12;
            addBell(mix, chordStart + n * beat, note, n == 0 ? 0.5 : 0.35, 3.0);
        }
    }
    double peak = 0;
    for (double v : mix)
        peak = std::max(peak, std::fabs(v));
    const double scale = peak > 0 ? 0.8 * 32767 / peak : 0;

    std::FILE* file = std::fopen(argv[1], "wb");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    const uint32_t dataBytes = static_cast<uint32_t>(mix.size() * 2);
    std::fputs("RIFF", file);
    put(file, 36 + dataBytes, 4);
    std::fputs("WAVEfmt ", file);
    put(file, 16, 4);
    put(file, 1, 2); // PCM
    put(file, 1, 2); // mono
    put(file, rate, 4);
    put(file, rate * 2, 4);
    put(file, 2, 2);
    put(file, 16, 2);
    std::fputs("data", file);
    put(file, dataBytes, 4);
    for (double v : mix)
        put(file, static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(std::lround(v * scale)))),
            2);
    return std::fclose(file) == 0 ? 0 : 1;
}
