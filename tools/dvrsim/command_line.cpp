#include "dvrsim/command_line.h"

#include <cstdint>
#include <type_traits>

#include "dvrsim/ring_image.h"
#include "dvrsim/tyre_layout.h"
#include "dvrsim/vehicle_model.h"

namespace dvrsim {

const char* const kUsage =
    "usage: dvrsim record --out BASE --channels N --stream-version V --seconds S\n"
    "                     [--resolution R[,R]...] [--fps F] [--audio-rate HZ]\n"
    "                     [--audio-bits 8|16] [--audio-channels 1|2] [--no-audio]\n"
    "                     [--seed K] [--start EPOCH] [--vehicle-id TEXT]\n"
    "                     [--scene flat|camera] [--origin LAT,LON] [--tyre-layout T1[,T2[,T3]]]\n"
    "                     [--unit-every K] [--event-every E]\n"
    "                     [--damage garbage|corrupt-header|truncate|zero-length-magic|\n"
    "                               broken-pictures|undecodable]...\n"
    "       dvrsim disk --out IMG [--size BYTES | --ring-size BYTES] [--seconds S]\n"
    "                   [--unit-every K] [--first-unit N] [--stale-header] [--event-every E]\n"
    "                   [--quick-tyre-count N]\n"
    "                   [--decoy one-partition] [--sparse-units N] [--progress]\n"
    "                   [recording options]\n"
    "       dvrsim card --out IMG [--size BYTES | --ring-size BYTES] [--base B] [--seconds S]\n"
    "                   [--unit-every K] [--first-unit N] [--stale-header] [--event-every E]\n"
    "                   [--quick-tyre-count N]\n"
    "                   [--decoy mark|base-unaligned|data-outside] [--progress]\n"
    "                   [recording options]\n"
    "       dvrsim serve --pair BASE | --disk IMG [--listen [ADDR:]PORT | --dial HOST:PORT]\n"
    "                    [--first-unit N] [--refuse busy|denied] [--cut-after N] [--pace F]\n"
    "                    [--stats FILE]\n"
    "\n"
    "record writes BASE.dvr (GOP stream), BASE.inx (time index) and BASE.truth.jsonl (what\n"
    "each frame carries, in the schema of 'dvrtool telemetry --json'). One GOP per second\n"
    "with F frames per channel of real H.264; the same seed gives the same files.\n"
    "  --channels       1, 4, 8 or 16 (16 needs stream version 3)\n"
    "  --stream-version 0 (no telemetry), 1, 2 or 3\n"
    "  --resolution     cif (default), d1 or 720p; a list gives channel 1, 2, ... its own\n"
    "                   size and the last one to the channels after it (d1,cif: D1 first,\n"
    "                   CIF the rest)\n"
    "  --fps            frames per channel per second, 1..16 (1..15 for version 3; default 8)\n"
    "  --audio-rate     4000 8000 11025 16000 22050 32000 44100 (default 8000)\n"
    "  --scene          flat: flat colours, small and quick to decode (default);\n"
    "                   camera: detail and grain, the bitrate and decoding cost of footage\n"
    "  --origin         where the vehicle starts, in decimal degrees (latitude -89..89,\n"
    "                   longitude -179..179; south and west negative); default: near\n"
    "                   22.5N 114E, the place set by the seed\n"
    "  --unit-every     a time unit for the first GOP and every K-th (1..3600, default 120)\n"
    "  --event-every    an event every E-th GOP, types cycling 1..15 in the tag of a time unit\n"
    "                   of its own GOP; default: no events\n"
    "  --tyre-layout    version 3 only: the tyre monitor of a vehicle of up to three units\n"
    "                   (tractor and trailers), given by each unit's layout type: unit 1\n"
    "                   1..6 (4, 6, 6, 8, 8, 10 tyres), units 2 and 3 1..14 (2, 4, 4, 6, 6,\n"
    "                   8, 6, 8, 8, 10, 8, 10, 10, 12 tyres). Every frame carries the tyres\n"
    "                   of all units, unit 1's first; the summary gives the layout types and\n"
    "                   each unit's alarm flag. Without it: six tyres, the summary holding\n"
    "                   the tyre and alarm counts\n"
    "  Tyres: one is abnormal 3 s of every 10 (version 3; with --tyre-layout a unit also\n"
    "  raises its alarm alone 2 s later); versions 1 and 2 have one of the first four tyres\n"
    "  at 80 C and then above it every 10 to 20 s.\n"
    "\n"
    "disk and card write a recorder's whole device as the sparse image IMG, with IMG.truth.json\n"
    "(what a reader finds: layout, ring, start, seam, end, indexes, GOPs in play order) and\n"
    "IMG.truth.jsonl (the frames of those GOPs, numbered in play order). The GOPs are those\n"
    "of 'record' (the recording options are its options, except --out and --damage; here\n"
    "they default to 1 channel, stream version 3 and 60 seconds; --unit-every and\n"
    "--event-every are the image's, below); a recording longer than the ring holds wraps\n"
    "around it over the oldest GOPs. Sizes take K, M, G or T.\n"
    "  disk: an MBR; partition 1 a FAT32 file system holding timeindex, eventindex and\n"
    "        quickindex; partition 2 the data ring (1 MiB aligned, to the device end, of\n"
    "        which the last 10 MiB are only run into by a lap's last GOP).\n"
    "  card: the sector at 0x3E00 marked \"SD RAW FORMAT\" with the base B (default 1M); the\n"
    "        time, event and quick index areas at B, B+16M, B+32M; data from B+160M.\n"
    "  --size           the device; default: what the layout needs plus --ring-size\n"
    "  --ring-size      the ring's size when --size is not given (default 4M)\n"
    "  --unit-every     a time unit for the first GOP and every K-th (default 10)\n"
    "  --first-unit     the first time unit's number, 1..0xFFFFF (default 1)\n"
    "  --stale-header   the headers keep the first unit ever written, even when overwritten\n"
    "  --event-every    an event every E-th GOP, types cycling 1..15 (default 30)\n"
    "  --quick-tyre-count  the count byte of every quick record (1..255); the record holds\n"
    "                   only the tyres that fit (34), so readers must clamp. Default: the tyres\n"
    "                   it holds. In one unit of every seven one tyre's temperature byte is a\n"
    "                   sensor error (186..255), chosen by the seed\n"
    "  --decoy          spoil the image so a reader must refuse it\n"
    "  --sparse-units   disk only, to measure opening huge images: the time index holds N\n"
    "                   units over the whole ring, which has wrapped, but GOPs are written only\n"
    "                   for the first and last 100 units and the 100 around the seam. The\n"
    "                   truth says \"sparse\": true and lists no GOPs and no units; there is no\n"
    "                   --seconds (the recording is N times --unit-every seconds long)\n"
    "  --progress       report progress and the laps made on standard error\n"
    "\n"
    "serve is a recorder on the network, as the viewer's engine meets it: it lists the time\n"
    "index of a file pair (BASE.dvr, BASE.inx) or of a disk or card image (from its oldest unit,\n"
    "offsets as the image stores them), sends the GOPs between two units for a download (with\n"
    "the share still to come, then an empty GOP as the end) and plays the recording round and\n"
    "round as live picture at the pace it was recorded. It prints \"serving on PORT\" (or\n"
    "\"dialled HOST:PORT\") once ready, serves every link that comes until SIGINT or SIGTERM,\n"
    "and answers each request on its own link.\n"
    "  --listen         the port listened on, on every address (default 2200; 0: any free port)\n"
    "  --dial           connect to an engine listening at HOST:PORT (its port is 2201), say\n"
    "                   hello and serve that link; the program ends with the link\n"
    "  --first-unit     number the listed units from N (1..0xFFFFF; after 0xFFFFF comes 1)\n"
    "  --refuse         answer live starts busy (0x10000030) or denied (0x10000031)\n"
    "  --cut-after      close a link once it has been sent N GOPs (live or download)\n"
    "  --pace           play live picture F times faster than recorded\n"
    "  --stats          write \"more N\", \"slower N\" and \"sent N\" lines (the engine's\n"
    "                   flow-control requests and the GOPs sent, over all links) to FILE\n"
    "                   whenever a link ends and at the end\n"
    "  An index unit reply carries at most 262143 units (one message); units or data outside\n"
    "  the index are refused with 0x10000030.\n";

namespace {

bool parse_int(const std::string& text, long long lo, long long hi, long long& out) {
    int64_t v = 0;
    if (!parse_number(text, lo, hi, v)) return false;
    out = v;
    return true;
}

enum class Taken { No, Yes, Bad };

// The options a recording has wherever it is stored.
Taken take_recording_option(const std::string& name, const std::string& value, RecordOptions& o) {
    long long n = 0;
    auto number = [&](long long lo, long long hi, auto& field) {
        if (!parse_int(value, lo, hi, n)) return false;
        field = static_cast<std::remove_reference_t<decltype(field)>>(n);
        return true;
    };
    bool ok = true;
    if (name == "--channels")
        ok = number(1, 64, o.channels);
    else if (name == "--stream-version")
        ok = number(0, 255, o.stream_version);
    else if (name == "--seconds")
        ok = number(1, 86400, o.seconds);
    else if (name == "--fps")
        ok = number(1, 64, o.fps);
    else if (name == "--audio-rate")
        ok = number(1, 1000000, o.audio_rate);
    else if (name == "--audio-bits")
        ok = number(1, 64, o.audio_bits);
    else if (name == "--audio-channels")
        ok = number(1, 64, o.audio_channels);
    else if (name == "--seed")
        ok = number(0, INT64_MAX, o.seed);
    else if (name == "--start")
        ok = number(0, UINT32_MAX, o.start_time);
    else if (name == "--vehicle-id")
        o.vehicle_id = value;
    else if (name == "--resolution")
        ok = parse_resolutions(value, o.resolutions);
    else if (name == "--scene")
        ok = parse_scene(value, o.scene);
    else if (name == "--origin")
        ok = parse_origin(value, o.origin.emplace());
    else if (name == "--tyre-layout")
        ok = parse_tyre_layout(value, o.tyre_layout);
    else
        return Taken::No;
    return ok ? Taken::Yes : Taken::Bad;
}

// A file pair's index cadence; disks and cards take the same names as image options.
Taken take_pair_index_option(const std::string& name, const std::string& value, PairIndex& o) {
    int64_t n = 0;
    if (!parse_number(value, 1, INT32_MAX, n)) return Taken::Bad;
    (name == "--unit-every" ? o.unit_every : o.event_every) = static_cast<int>(n);
    return Taken::Yes;
}

// What an option with a composite value takes, for the error message.
std::string expected_form(const std::string& name) {
    if (name == "--origin") {
        return " (LAT,LON in decimal degrees, latitude -89..89, longitude -179..179)";
    }
    if (name == "--tyre-layout") {
        return " (one to three layout types: unit 1 1..6, units 2 and 3 1..14)";
    }
    return "";
}

fleet::Error bad_value(const std::string& name, const std::string& value) {
    return fleet::fail("bad value for " + name + ": " + value + expected_form(name));
}

Taken take_image_option(const std::string& name, const std::string& value, ImageOptions& o) {
    int64_t n = 0;
    bool ok = true;
    if (name == "--out") {
        o.record.base = value;
    } else if (name == "--size") {
        ok = parse_size(value, o.size) && o.size > 0;
    } else if (name == "--ring-size") {
        ok = parse_size(value, o.ring_size);
        o.ring_size_given = true;
    } else if (name == "--base" && o.kind == ImageKind::Card) {
        ok = parse_size(value, o.base);
    } else if (name == "--unit-every") {
        ok = parse_number(value, 1, INT32_MAX, n);
        o.unit_every = static_cast<int>(n);
    } else if (name == "--first-unit") {
        ok = parse_number(value, 1, UINT32_MAX, n);
        o.first_unit = static_cast<uint32_t>(n);
    } else if (name == "--event-every") {
        ok = parse_number(value, 1, INT32_MAX, n);
        o.event_every = static_cast<int>(n);
    } else if (name == "--quick-tyre-count") {
        ok = parse_number(value, 1, 255, n);
        o.quick_tyre_count = static_cast<int>(n);
    } else if (name == "--decoy") {
        ok = parse_decoy(o.kind, value, o.decoy);
    } else if (name == "--sparse-units" && o.kind == ImageKind::Disk) {
        ok = parse_number(value, 1, INT32_MAX, o.sparse_units);
    } else {
        return Taken::No;
    }
    return ok ? Taken::Yes : Taken::Bad;
}

// Options without a value.
bool take_image_flag(const std::string& name, ImageOptions& o) {
    if (name == "--no-audio")
        o.record.audio = false;
    else if (name == "--stale-header")
        o.stale_header = true;
    else if (name == "--progress")
        o.progress = true;
    else
        return false;
    return true;
}

}  // namespace

fleet::Result<RecordOptions> parse_record_args(const std::vector<std::string>& args) {
    RecordOptions o;
    bool have_channels = false, have_version = false, have_seconds = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (name == "--no-audio") {
            o.audio = false;
            continue;
        }
        if (i + 1 >= args.size()) return fleet::fail(name + " needs a value");
        const std::string& value = args[++i];
        Taken taken = take_recording_option(name, value, o);
        if (taken == Taken::No) {
            if (name == "--out") {
                o.base = value;
                taken = Taken::Yes;
            } else if (name == "--unit-every" || name == "--event-every") {
                taken = take_pair_index_option(name, value, o.pair_index);
            } else if (name == "--damage") {
                Damage d;
                taken = parse_damage(value, d) ? Taken::Yes : Taken::Bad;
                if (taken == Taken::Yes) o.damage.push_back(d);
            } else {
                return fleet::fail("unknown option " + name);
            }
        }
        if (taken == Taken::Bad) return bad_value(name, value);
        have_channels |= name == "--channels";
        have_version |= name == "--stream-version";
        have_seconds |= name == "--seconds";
    }
    if (o.base.empty() || !have_channels || !have_version || !have_seconds) {
        return fleet::fail("record needs --out, --channels, --stream-version and --seconds");
    }
    if (auto checked = check_options(o); !checked) return checked.error();
    return o;
}

fleet::Result<ImageOptions> parse_image_args(ImageKind kind, const std::vector<std::string>& args) {
    ImageOptions o = default_image_options(kind);
    bool have_seconds = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& name = args[i];
        if (take_image_flag(name, o)) continue;
        if (i + 1 >= args.size()) return fleet::fail(name + " needs a value");
        const std::string& value = args[++i];
        Taken taken = take_image_option(name, value, o);
        if (taken == Taken::No) taken = take_recording_option(name, value, o.record);
        if (taken == Taken::No) return fleet::fail("unknown option " + name);
        if (taken == Taken::Bad) return bad_value(name, value);
        have_seconds |= name == "--seconds";
    }
    if (o.record.base.empty()) return fleet::fail("--out is required");
    if (o.sparse_units != 0 && have_seconds) {
        return fleet::fail("--sparse-units sets the recording's length; leave out --seconds");
    }
    if (auto checked = check_image_options(o); !checked) return checked.error();
    if (auto planned = plan_image(o); !planned) return planned.error();
    return o;
}

}  // namespace dvrsim
