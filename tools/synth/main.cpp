// kalorix-synth: writes simulated recorder files for tests and demonstrations.

#include "synth/Synth.h"

#include <QCoreApplication>
#include <QStringList>
#include <cstdio>

namespace {

const char* const kHelp =
    "Usage: kalorix-synth --output FILE [options]\n"
    "Writes a simulated recording, bit-exact and deterministic for a seed.\n"
    "\n"
    "File:\n"
    "  --type thr|thc|thm|tmc|tfc  single raw frame, single compressed frame, movie,\n"
    "                           compressed movie, fusion recording (default thr)\n"
    "  --output FILE            file to write (required)\n"
    "  --version N              frame header version 0-6 (default 6; 3 and values\n"
    "                           above 6 are written only to test their refusal;\n"
    "                           compressed movies need 3-6)\n"
    "  --geometry WxH           160x128, 324x256, 336x256 or 640x512 (default 640x512)\n"
    "  --seed N                 scene and stream seed (default 1)\n"
    "  --truncate BYTES         write only the first BYTES bytes of the file\n"
    "\n"
    "Word stream (every frame):\n"
    "  --blanking MIN,MAX       blanking words between rows (default 2,5)\n"
    "  --no-blanking            no separator word anywhere\n"
    "  --cut-last-row           the last row ends three words early, ending the stream\n"
    "  --short-row N            0-based row N is 7 values shorter\n"
    "  --long-row N             0-based row N is 5 values longer\n"
    "\n"
    "Header:\n"
    "  --serial-text TEXT       serial block of every frame when --telemetry is none;\n"
    "                           \\r \\n \\t \\0 \\\\ and \\xHH stand for their bytes\n"
    "  --part-number TEXT       camera part number, versions 5 and 6\n"
    "                           (default: the radiometric fast-video core of the\n"
    "                           width, \"4664001900FR000\" for 640 columns)\n"
    "  --fpa C                  FPA temperature in degrees C, versions 5 and 6 (default 31.4)\n"
    "  --housing C              housing temperature in degrees C, versions 5 and 6\n"
    "                           (default 29.87)\n"
    "\n"
    "Movies:\n"
    "  --frames N               number of frames (default 10)\n"
    "  --ffc LIST               1-based frames with the FFC mark, e.g. 3,7\n"
    "  --counter-gap LIST       1-based frames after which the frame counter skips one\n"
    "  --first-counter N        frame counter of frame 1, 0-8191 (default 1)\n"
    "  --drift R                drift in raw counts per frame since the last FFC (default 0.5)\n"
    "\n"
    "Scene (raw counts):\n"
    "  --background R           mean level (default 7400)\n"
    "  --gradient R             top-to-bottom background change (default 600)\n"
    "  --objects N              warm moving blobs (default 3)\n"
    "  --vignetting R           corners R below the centre (default 250)\n"
    "  --noise R                deviation of the temporal noise (default 6)\n"
    "  --fixed-pattern R        static per-pixel offset within +-R (default 0)\n"
    "  --texture R              textured ground of peak R moving under the camera\n"
    "  --uniform                uniform reference: no gradient, objects, noise or texture,\n"
    "                           only the vignetting as additive shading\n"
    "  --force-bit N            bit N (0-15) set in every value\n"
    "  --all-even               lowest bit clear in every value\n"
    "\n"
    "Fusion recordings (--type tfc, versions 5 and 6):\n"
    "  --daylight WxH           daylight picture size (default 1280x960); picture n is\n"
    "                           one plain colour that depends on n\n"
    "  --trailing-thermal       end with a thermal frame that has no daylight block\n"
    "  --corrupt-jpeg LIST      1-based frames whose JPEG cannot be decoded\n"
    "  --drop-daylight LIST     1-based frames written without their daylight block\n"
    "\n"
    "Telemetry (serial block of every frame, versions 1, 2 and 4-6):\n"
    "  --telemetry none|nmea|mavlink|md   kind of data (default none)\n"
    "  --talker GP|GN           NMEA talker (default GP)\n"
    "  --mavlink-split          every MAVLink block ends inside a frame that the\n"
    "                           next block completes\n"
    "  --lat DEG                survey origin latitude (default 47.3977)\n"
    "  --lon DEG                survey origin longitude (default 8.5456)\n"
    "  --alt M                  altitude above mean sea level (default 480)\n"
    "  --speed MS               ground speed in m/s (default 8)\n"
    "  --start UTC              time of frame 1, e.g. 2016-05-31T14:24:23Z\n"
    "  --interval S             seconds between frames (default 1/9)\n"
    "\n"
    "  --help                   this text\n"
    "Bad arguments print one line on standard error and exit with status 2.\n";

int usageError(const QString& message) {
    std::fprintf(stderr, "kalorix-synth: %s\n", qPrintable(message));
    return 2;
}

bool toInt(const QString& text, int& value, int low, int high) {
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    value = v;
    return true;
}

bool toDouble(const QString& text, double& value) {
    bool ok = false;
    const double v = text.toDouble(&ok);
    if (ok)
        value = v;
    return ok;
}

// C-style escapes, so a serial text can hold line ends and binary bytes.
bool unescape(const QString& text, QByteArray& bytes) {
    const QByteArray in = text.toLatin1();
    bytes.clear();
    for (int i = 0; i < in.size(); ++i) {
        if (in[i] != '\\') {
            bytes.append(in[i]);
            continue;
        }
        if (++i >= in.size())
            return false;
        switch (in[i]) {
        case 'r':
            bytes.append('\r');
            break;
        case 'n':
            bytes.append('\n');
            break;
        case 't':
            bytes.append('\t');
            break;
        case '0':
            bytes.append('\0');
            break;
        case '\\':
            bytes.append('\\');
            break;
        case 'x': {
            bool ok = false;
            const int value = in.mid(i + 1, 2).toInt(&ok, 16);
            if (!ok || i + 2 >= in.size())
                return false;
            bytes.append(char(value));
            i += 2;
            break;
        }
        default:
            return false;
        }
    }
    return true;
}

bool toIntList(const QString& text, std::vector<int>& values) {
    values.clear();
    for (const QString& part : text.split(',')) {
        int v = 0;
        if (!toInt(part.trimmed(), v, 1, 1000000))
            return false;
        values.push_back(v);
    }
    return true;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    args.removeFirst();

    synth::MovieOptions options;
    synth::FusionOptions fusion;
    QString type = "thr";
    QString output;
    long long truncateBytes = -1;
    bool uniform = false;

    // Options that take a value.
    const QStringList valued = {
        "--type",        "--version",       "--geometry",     "--frames",        "--seed",
        "--output",      "--blanking",      "--short-row",    "--long-row",      "--truncate",
        "--serial-text", "--part-number",   "--fpa",          "--housing",       "--ffc",
        "--counter-gap", "--first-counter", "--drift",        "--telemetry",     "--talker",
        "--lat",         "--lon",           "--alt",          "--speed",         "--start",
        "--interval",    "--daylight",      "--corrupt-jpeg", "--drop-daylight", "--background",
        "--gradient",    "--objects",       "--vignetting",   "--noise",         "--fixed-pattern",
        "--texture",     "--force-bit"};

    for (int i = 0; i < args.size(); ++i) {
        const QString opt = args[i];
        if (opt == "--help" || opt == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        }
        if (opt == "--cut-last-row") {
            options.stream.cutLastRow = true;
            continue;
        }
        if (opt == "--no-blanking") {
            options.stream.noBlanking = true;
            continue;
        }
        if (opt == "--trailing-thermal") {
            fusion.trailingThermal = true;
            continue;
        }
        if (opt == "--uniform") {
            uniform = true;
            continue;
        }
        if (opt == "--all-even") {
            options.scene.allEven = true;
            continue;
        }
        if (opt == "--mavlink-split") {
            options.splitMavlinkFrames = true;
            continue;
        }
        if (!valued.contains(opt))
            return usageError(QString("unknown option %1 (see --help)").arg(opt));
        if (i + 1 >= args.size())
            return usageError(QString("%1 needs a value").arg(opt));
        const QString value = args[++i];
        const QString bad = QString("bad value for %1: %2").arg(opt, value);

        if (opt == "--type") {
            if (value != "thr" && value != "thc" && value != "thm" && value != "tmc" &&
                value != "tfc")
                return usageError(bad);
            type = value;
        } else if (opt == "--version") {
            if (!toInt(value, options.version, 0, 255))
                return usageError(bad);
        } else if (opt == "--geometry") {
            if (value == "160x128" || value == "324x256" || value == "336x256" ||
                value == "640x512") {
                const QStringList wh = value.split('x');
                options.scene.width = wh[0].toInt();
                options.scene.height = wh[1].toInt();
            } else {
                return usageError(bad);
            }
        } else if (opt == "--frames") {
            if (!toInt(value, options.frames, 1, 50500))
                return usageError(bad);
        } else if (opt == "--seed") {
            bool ok = false;
            options.scene.seed = value.toUInt(&ok);
            options.stream.seed = options.scene.seed;
            if (!ok)
                return usageError(bad);
        } else if (opt == "--output") {
            output = value;
        } else if (opt == "--blanking") {
            const QStringList parts = value.split(',');
            if (parts.size() != 2 || !toInt(parts[0], options.stream.blankingMin, 0, 1000) ||
                !toInt(parts[1], options.stream.blankingMax, options.stream.blankingMin, 1000))
                return usageError(bad);
        } else if (opt == "--short-row") {
            if (!toInt(value, options.stream.shortRow, 0, 100000))
                return usageError(bad);
        } else if (opt == "--long-row") {
            if (!toInt(value, options.stream.longRow, 0, 100000))
                return usageError(bad);
        } else if (opt == "--truncate") {
            bool ok = false;
            truncateBytes = value.toLongLong(&ok);
            if (!ok || truncateBytes < 0)
                return usageError(bad);
        } else if (opt == "--serial-text") {
            if (!unescape(value, options.serialText))
                return usageError(bad);
        } else if (opt == "--part-number") {
            options.partNumber = value.toLatin1();
        } else if (opt == "--fpa") {
            if (!toDouble(value, options.tempFPACelsius))
                return usageError(bad);
        } else if (opt == "--housing") {
            if (!toDouble(value, options.tempHousingCelsius))
                return usageError(bad);
        } else if (opt == "--ffc") {
            if (!toIntList(value, options.ffcFrames))
                return usageError(bad);
        } else if (opt == "--counter-gap") {
            if (!toIntList(value, options.counterGapsAfter))
                return usageError(bad);
        } else if (opt == "--first-counter") {
            int v = 0;
            if (!toInt(value, v, 0, 8191))
                return usageError(bad);
            options.firstCounter = uint16_t(v);
        } else if (opt == "--background" || opt == "--gradient" || opt == "--vignetting" ||
                   opt == "--noise" || opt == "--fixed-pattern" || opt == "--texture") {
            synth::SceneOptions& o = options.scene;
            double* target = opt == "--background"   ? &o.backgroundRaw
                             : opt == "--gradient"   ? &o.gradientRaw
                             : opt == "--vignetting" ? &o.vignettingRaw
                             : opt == "--noise"      ? &o.noiseRaw
                             : opt == "--texture"    ? &o.textureRaw
                                                     : &o.fixedPatternRaw;
            if (!toDouble(value, *target))
                return usageError(bad);
        } else if (opt == "--objects") {
            if (!toInt(value, options.scene.objects, 0, 100))
                return usageError(bad);
        } else if (opt == "--force-bit") {
            if (!toInt(value, options.scene.forcedOneBit, 0, 15))
                return usageError(bad);
        } else if (opt == "--drift") {
            if (!toDouble(value, options.driftPerFrameRaw))
                return usageError(bad);
        } else if (opt == "--telemetry") {
            if (value == "none")
                options.telemetry = synth::Telemetry::None;
            else if (value == "nmea")
                options.telemetry = synth::Telemetry::Nmea;
            else if (value == "mavlink")
                options.telemetry = synth::Telemetry::MAVLink;
            else if (value == "md")
                options.telemetry = synth::Telemetry::MdDownlink;
            else
                return usageError(bad);
        } else if (opt == "--talker") {
            if (value != "GP" && value != "GN")
                return usageError(bad);
            options.flight.nmeaTalker = value.toLatin1();
        } else if (opt == "--lat") {
            if (!toDouble(value, options.flight.originLatitude) ||
                options.flight.originLatitude < -89 || options.flight.originLatitude > 89)
                return usageError(bad);
        } else if (opt == "--lon") {
            if (!toDouble(value, options.flight.originLongitude) ||
                options.flight.originLongitude < -180 || options.flight.originLongitude > 180)
                return usageError(bad);
        } else if (opt == "--alt") {
            if (!toDouble(value, options.flight.altitudeM))
                return usageError(bad);
        } else if (opt == "--speed") {
            if (!toDouble(value, options.flight.speedMS) || options.flight.speedMS < 0)
                return usageError(bad);
        } else if (opt == "--start") {
            QDateTime start = QDateTime::fromString(value, Qt::ISODate);
            if (!start.isValid())
                return usageError(bad);
            options.flight.startUtc = start.toUTC();
        } else if (opt == "--daylight") {
            const QStringList wh = value.split('x');
            if (wh.size() != 2 || !toInt(wh[0], fusion.daylightWidth, 8, 8192) ||
                !toInt(wh[1], fusion.daylightHeight, 8, 8192))
                return usageError(bad);
        } else if (opt == "--corrupt-jpeg") {
            if (!toIntList(value, fusion.corruptJpeg))
                return usageError(bad);
        } else if (opt == "--drop-daylight") {
            if (!toIntList(value, fusion.droppedDaylight))
                return usageError(bad);
        } else if (opt == "--interval") {
            if (!toDouble(value, options.frameIntervalS) || options.frameIntervalS <= 0)
                return usageError(bad);
        }
    }
    if (uniform) {
        const synth::SceneOptions& o = options.scene;
        const synth::SceneOptions u =
            synth::uniformShadedScene(o.width, o.height, o.backgroundRaw, o.vignettingRaw);
        options.scene.gradientRaw = u.gradientRaw;
        options.scene.objects = u.objects;
        options.scene.noiseRaw = u.noiseRaw;
        options.scene.textureRaw = 0.0;
        options.scene.fixedPatternRaw = 0.0;
    }
    if (output.isEmpty())
        return usageError("--output FILE is required (see --help)");

    options.compressed = type == "thc" || type == "tmc" || type == "tfc";
    const bool movie = type == "thm" || type == "tmc";
    QByteArray bytes;
    if (type == "tfc") {
        fusion.thermal = options;
        bytes = synth::makeFusion(fusion);
    } else {
        bytes = movie ? synth::makeMovie(options) : synth::makeSingleFrameFile(options);
    }
    if (bytes.isEmpty())
        return usageError("these options give no file (a compressed movie or fusion recording "
                          "needs version 3-6; a serial text may hold the frame signature)");
    if (truncateBytes >= 0 && truncateBytes < bytes.size())
        bytes.truncate(int(truncateBytes));
    if (!synth::writeFile(output, bytes)) {
        std::fprintf(stderr, "kalorix-synth: cannot write %s\n", qPrintable(output));
        return 1;
    }
    return 0;
}
