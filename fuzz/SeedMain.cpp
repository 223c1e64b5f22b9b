// kalorix-fuzz-seeds FOLDER: writes the starting inputs of every fuzz target
// into FOLDER/<target>/, made with the simulator library: every header
// version, the four camera geometries and the stream faults, compressed code,
// movies of every type, every telemetry kind, release lists and FFC lists.
#include "synth/Synth.h"

#include <QDir>
#include <QFile>
#include <cstdio>
#include <cstring>

namespace {

QString g_root;
bool g_ok = true;

void write(const char* target, const QString& name, const QByteArray& bytes) {
    QDir().mkpath(g_root + '/' + target);
    g_ok = synth::writeFile(g_root + '/' + target + '/' + name, bytes) && g_ok;
}

QByteArray u16(uint16_t v) {
    return QByteArray(1, char(v & 0xFF)) + char(v >> 8);
}
QByteArray u32(uint32_t v) {
    return u16(uint16_t(v)) + u16(uint16_t(v >> 16));
}
QByteArray wordBytes(const std::vector<uint16_t>& words) {
    QByteArray out;
    for (uint16_t w : words)
        out += u16(w);
    return out;
}

std::vector<uint16_t> stream(int width, int height, const synth::StreamOptions& s, int seed = 1) {
    synth::SceneOptions scene;
    scene.width = width;
    scene.height = height;
    scene.seed = uint32_t(seed);
    return synth::makeWordStream(synth::renderScene(scene, 0), width, height, s);
}

void headers() {
    const int versions[] = {0, 1, 2, 3, 4, 5, 6};
    for (int version : versions) {
        synth::HeaderOptions h;
        h.version = version;
        h.serial = "$GPGGA,serial text";
        h.partNumber = "4640019S R01234";
        h.tempFPACelsius = 31.4;
        h.tempHousingCelsius = 29.87;
        // Version 0 is read 12 bytes past its header.
        const QByteArray header = synth::makeHeader(h) + QByteArray(12, '\0');
        write("frame_header", QStringLiteral("v%1").arg(version),
              QByteArray(1, char(version + 1)) + header);
    }
    synth::HeaderOptions longPart;
    longPart.version = 5;
    longPart.partNumber = QByteArray(40, 'P');
    write("frame_header", "v5-long-part", QByteArray(1, char(6)) + synth::makeHeader(longPart));
}

void decoderStreams() {
    synth::StreamOptions plain;
    const QByteArray noCorrections = QByteArray(1, '\0') + u32(0) + u16(0);
    write("frame_decoder", "160x128", noCorrections + wordBytes(stream(160, 128, plain)));
    synth::StreamOptions cut = plain;
    cut.cutLastRow = true;
    write("frame_decoder", "160x128-cut", noCorrections + wordBytes(stream(160, 128, cut)));
    synth::StreamOptions faults = plain;
    faults.shortRow = 1;
    faults.longRow = 2;
    faults.blankingMin = 1;
    faults.blankingMax = 2;
    write("frame_decoder", "200x6-faults", noCorrections + wordBytes(stream(200, 6, faults, 2)));
    synth::StreamOptions none = plain;
    none.noBlanking = true;
    write("frame_decoder", "no-blanking", noCorrections + wordBytes(stream(170, 4, none, 3)));
    // Drift 12.5 with both tables shorter than the frame.
    float drift = 12.5f;
    uint32_t driftBits = 0;
    std::memcpy(&driftBits, &drift, sizeof drift);
    write("frame_decoder", "corrected",
          QByteArray(1, char(7)) + u32(driftBits) + u16(300) + wordBytes(stream(160, 5, plain)));
}

void compressedCode() {
    synth::StreamOptions plain;
    const QByteArray whole = u16(0) + QByteArray(1, '\0') + u32(0x80000000u) + QByteArray(1, '\0');
    write("compressed", "160x128", whole + synth::compressWords(stream(160, 128, plain), 0x2005));
    // Long enough for the two readers of the expansion.
    write("compressed", "324x256", whole + synth::compressWords(stream(324, 256, plain, 4), 42));
    const QByteArray small = synth::compressWords(stream(160, 3, plain, 5), 7);
    write("compressed", "mid-start-limit",
          u16(3) + QByteArray(1, char(9)) + u32(100) + QByteArray(1, char(1)) + small);
}

void movies() {
    struct Movie {
        const char* name;
        int version;
        bool compressed;
        int frames;
    };
    const Movie movies[] = {{"tmc-v5", 5, true, 3},
                            {"tmc-v6", 6, true, 2},
                            {"tmc-v4", 4, true, 2},
                            {"thm-v4", 4, false, 2}};
    for (const Movie& m : movies) {
        synth::MovieOptions o;
        o.frames = m.frames;
        o.version = m.version;
        o.compressed = m.compressed;
        o.scene.width = 160;
        o.scene.height = m.compressed ? 128 : 12;
        o.ffcFrames = {2};
        o.counterGapsAfter = {1};
        // Blocks of at most 700 bytes: signatures and counters straddle them.
        write("movie_index", m.name, u32(uint32_t(m.version)) + u16(699) + synth::makeMovie(o));
    }
}

void telemetry() {
    synth::FlightOptions flight;
    for (int t = 0; t < 3; ++t) {
        const synth::FlightState state = synth::flightStateAt(flight, 1.5 * t);
        write("nmea", QStringLiteral("gp-%1").arg(t),
              QByteArray(1, char(t - 1)) + synth::nmeaBlock(state, "GP"));
        write("downlink", QStringLiteral("frame-%1").arg(t),
              QByteArray(1, char(32)) + char(11) + synth::mdDownlinkBlock(state));
    }
    flight.nmeaTalker = "GN";
    write("nmea", "gn-padded",
          QByteArray(1, char(2)) + QByteArray(5, '\0') +
              synth::nmeaBlock(synth::flightStateAt(flight, 0), "GN"));
    // A stream of blocks, every one ending inside a frame the next completes.
    for (bool split : {false, true}) {
        QByteArray carry;
        QByteArray all;
        for (int n = 0; n < 3; ++n)
            all += synth::mavlinkBlock(synth::flightStateAt(flight, n / 9.0), 60000 + 111 * n,
                                       carry, split, 160, uint8_t(5 * n));
        write("mavlink", split ? "split" : "whole", u32(split ? 7 : 1) + u16(97) + all);
    }
}

QByteArray release(const char* version, const char* date, const char* news) {
    return QByteArray("<Kalorix><version>") + version + "</version><date>" + date +
           "</date><news>" + news + "</news></Kalorix>\n";
}

// Replies of the maker's server, whole, cut, spoilt and with what XML allows.
void releaseLists() {
    const QByteArray head = "<?xml version=\"1.0\"?>\n<releases>\n";
    const QByteArray list = head + release("2.2.0", "01.08.2017 10:00", "Faster &lt;b&gt;export") +
                            release("2.0.0", "01.01.2016 09:00", "First release") + "</releases>\n";
    const QByteArray cut = u16(uint16_t(list.size() / 2));
    write("release_list", "two-entries", cut + list);
    QByteArray crlf = list;
    crlf.replace("\n", "\r\n");
    write("release_list", "crlf", u16(90) + crlf);
    write("release_list", "cut-in-entry", cut + list.left(list.size() - 40));
    write("release_list", "zero-tail", cut + list + QByteArray(1, '\0') + release("9", "x", "y"));
    write("release_list", "bad-date",
          cut + head + release("3.1", "31.02.2018 10:00", "When?") + "</releases>");
    write("release_list", "markup",
          u16(200) + "<!DOCTYPE releases [<!ENTITY n \"News: \">]>\n<r xmlns:k=\"urn:k\">" +
              "<k:Kalorix><version><![CDATA[4.0<beta>]]></version><date>02.03.2018 "
              "11:30</date><news>&n;&#x41;\nline two</news></k:Kalorix><Kalorix/><other>"
              "<date>01.01.2030 10:00</date></other></r>");
    write("release_list", "latin1",
          u16(30) + "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?><r>" +
              release("2.3", "24.12.2019 18:00",
                      "Gr\xfc\xdf"
                      "e") +
              "</r>");
}

// FFC lists as a user writes them: the marks of a flight, one per line, with
// either line end, blanks, notes and numbers out of range.
void ffcLists() {
    QByteArray lines;
    for (int frame : {12, 340, 1201, 1999})
        lines += QByteArray::number(frame) + '\n';
    write("ffc_list", "flight", u16(7) + lines);
    QByteArray crlf = lines;
    crlf.replace("\n", "\r\n");
    write("ffc_list", "crlf-no-last-end", u16(9) + crlf.left(crlf.size() - 2));
    write("ffc_list", "notes",
          u16(20) + " 101 \t\n\nFFC at 5\n+7\n-5\n007\n2147483647\n2147483648\n4294967296\n");
    write("ffc_list", "zero-byte", u16(3) + QByteArray("12\0x\n34\n", 8));
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: kalorix-fuzz-seeds FOLDER\n");
        return 2;
    }
    g_root = QString::fromLocal8Bit(argv[1]);
    headers();
    decoderStreams();
    compressedCode();
    movies();
    telemetry();
    releaseLists();
    ffcLists();
    if (!g_ok) {
        std::fprintf(stderr, "kalorix-fuzz-seeds: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
