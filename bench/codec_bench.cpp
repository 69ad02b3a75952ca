/* Codec throughput and size on a corpus of package payloads, beside gzip -9
 * and gzip -d on the same files in the same run.
 *
 * usage: codec_bench CORPUS_DIR [SECONDS_PER_MEASUREMENT]
 *
 * Our coder runs in-process over files in a RAM-backed folder, through the
 * same file calls the installer uses. gzip runs as a command over the file
 * named many times at once, so its start-up is spread over megabytes. Each
 * figure is the best of repeated runs. */
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "block_stream.h"
#include "codec_test_support.h"
#include "huffman_model.h"
#include "reference_coder.h"
#include "stream_decoder.h"
#include "stream_encoder.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

double secondsPerMeasurement = 0.3;

std::string scratchFolder()
{
    static std::string folder = [] {
        fs::path base = fs::exists("/dev/shm") ? fs::path("/dev/shm") : fs::temp_directory_path();
        std::string pattern = (base / "qb-bench-XXXXXX").string();
        if (!mkdtemp(pattern.data())) {
            std::perror("mkdtemp");
            std::exit(2);
        }
        return pattern;
    }();
    return folder;
}

/* Best time of one call of `run`, repeated for the measurement's time and
 * at least five times: on a shared machine single runs get preempted. */
template <typename Run>
double bestSeconds(Run run)
{
    double best = 1e9, total = 0;
    for (int runs = 0; runs < 5 || total < secondsPerMeasurement; ++runs) {
        auto start = Clock::now();
        run();
        double took = std::chrono::duration<double>(Clock::now() - start).count();
        best = std::min(best, took);
        total += took;
    }
    return best;
}

void encodeFile(const std::string &in, const std::string &out, uint32_t length)
{
    HANDLE i = openForReading(in), o = createForWriting(out);
    encodeStream(i, o, length);
    CloseHandle(i);
    CloseHandle(o);
}

bool decodeFile(const std::string &in, const std::string &out)
{
    HANDLE i = openForReading(in), o = createForWriting(out);
    bool ok = decodeStream(i, o);
    CloseHandle(i);
    CloseHandle(o);
    return ok;
}

void runShell(const std::string &command)
{
    if (std::system(command.c_str()) != 0) {
        std::fprintf(stderr, "codec_bench: failed: %s\n", command.c_str());
        std::exit(1);
    }
}

/* The file named often enough for about 16 MB of plain bytes per run. */
size_t repetitions(size_t plainSize) { return std::max<size_t>(1, (16u << 20) / std::max<size_t>(plainSize, 1)); }

std::string repeatedArgument(const std::string &path, size_t plainSize)
{
    size_t times = repetitions(plainSize);
    std::string args;
    for (size_t i = 0; i < times; ++i)
        args += " '" + path + "'";
    return args;
}

/* Seconds per pass over one file of `plainSize` plain bytes. */
double gzipSeconds(const std::string &command, const std::string &path, size_t plainSize)
{
    std::string args = repeatedArgument(path, plainSize);
    return bestSeconds([&] { runShell(command + args + " >/dev/null"); }) / double(repetitions(plainSize));
}

struct Row {
    std::string name;
    size_t plain = 0, packed = 0, gzipped = 0;
    double encode = 0, decode = 0, gzipEncode = 0, gzipDecode = 0;
    bool matchesReference = false, roundTrips = false;
};

double mbps(size_t bytes, double seconds) { return double(bytes) / 1e6 / seconds; }

void printRow(const Row &r)
{
    std::printf("%-20s %8zu %8zu %6.1f%% %8zu %6.1f%% %8.1f %8.1f %8.1f %8.1f  %s\n", r.name.c_str(), r.plain,
                r.packed, 100.0 * double(r.packed) / double(r.plain), r.gzipped,
                100.0 * double(r.gzipped) / double(r.plain), mbps(r.plain, r.encode), mbps(r.plain, r.gzipEncode),
                mbps(r.plain, r.decode), mbps(r.plain, r.gzipDecode),
                r.matchesReference && r.roundTrips ? "ok" : "MISMATCH");
}

Row measure(const fs::path &file)
{
    Row r;
    r.name = file.filename().string();
    Bytes plain = readBytes(file.string());
    r.plain = plain.size();
    std::string in = scratchFolder() + "/plain", packed = scratchFolder() + "/packed",
                back = scratchFolder() + "/back", gz = scratchFolder() + "/plain.gz";
    writeBytes(in, plain);

    r.encode = bestSeconds([&] { encodeFile(in, packed, uint32_t(plain.size())); });
    Bytes stream = readBytes(packed);
    r.packed = stream.size();
    r.matchesReference = stream == reference::encode(plain);
    r.decode = bestSeconds([&] { decodeFile(packed, back); });
    r.roundTrips = decodeFile(packed, back) && readBytes(back) == plain;

    runShell("gzip -9 -c '" + in + "' > '" + gz + "'");
    r.gzipped = fs::file_size(gz);
    r.gzipEncode = gzipSeconds("gzip -9 -c", in, plain.size());
    r.gzipDecode = gzipSeconds("gzip -d -c", gz, plain.size());
    return r;
}

void printFootprint()
{
    const size_t matchTrees = matchTreeBytes;
    const size_t offsetTables = sizeof offsetHighLen + sizeof offsetHighCode + sizeof offsetHighByByte +
                                sizeof offsetLenByByte;
    std::printf("\nstatic footprint (bytes): blockStream %zu, huffModel %zu, window %zu, offset tables %zu"
                " -> decoder %zu; encoder adds match trees %zu\n",
                sizeof blockStream, sizeof huffModel, sizeof window, offsetTables,
                sizeof blockStream + sizeof huffModel + sizeof window + offsetTables, matchTrees);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2 || argc > 3) {
        std::fprintf(stderr, "usage: codec_bench CORPUS_DIR [SECONDS_PER_MEASUREMENT]\n");
        return 2;
    }
    if (argc == 3)
        secondsPerMeasurement = std::atof(argv[2]);
    std::vector<fs::path> files;
    for (const auto &entry : fs::directory_iterator(argv[1]))
        if (entry.is_regular_file())
            files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "codec_bench: no files in %s\n", argv[1]);
        return 2;
    }

    std::printf("%-20s %8s %8s %7s %8s %7s %8s %8s %8s %8s\n", "file", "bytes", "packed", "", "gzip -9", "",
                "enc MB/s", "gzip -9", "dec MB/s", "gzip -d");
    Row total;
    total.name = "total";
    total.matchesReference = total.roundTrips = true;
    for (const fs::path &file : files) {
        Row r = measure(file);
        printRow(r);
        total.plain += r.plain;
        total.packed += r.packed;
        total.gzipped += r.gzipped;
        total.encode += r.encode;
        total.decode += r.decode;
        total.gzipEncode += r.gzipEncode;
        total.gzipDecode += r.gzipDecode;
        total.matchesReference = total.matchesReference && r.matchesReference;
        total.roundTrips = total.roundTrips && r.roundTrips;
    }
    printRow(total);
    printFootprint();
    fs::remove_all(scratchFolder());
    return total.matchesReference && total.roundTrips ? 0 : 1;
}
