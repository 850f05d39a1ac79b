// zorflash-sim: the instrument's side of the update, for tests, demos and benchmarks.

#include "platform/StandardStreams.h"
#include "sim/FaultPlan.h"
#include "sim/ImageVerifier.h"
#include "sim/ModelFacts.h"
#include "sim/PtyInstrument.h"
#include "sim/SampleWriter.h"
#include "sim/SimArguments.h"
#include "sim/StopFlag.h"
#include "sim/TcpFleet.h"
#include "sim/UpdateLedger.h"

#include "ZorflashVersion.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>
#include <vector>

using namespace zorflash;

namespace {

struct ServeArgs {
    std::string tcp;
    int usb = 0;
    std::string usbNumbers;
    std::string query;
    std::string model;
    std::string outDir;
    std::string portFile;
    std::vector<std::string> faults;
    int ackDelayMs = 0;
    std::vector<int> nakAt;
    int maxUpdates = 0;
    int idleTimeoutMs = 30000;
    std::string maxImage = "1G";
    double randomFaults = 0;
    unsigned long long seed = 1;
};

struct SampleArgs {
    std::string model;
    std::string kind;
    long long records = -1;
    std::string bytes;
    int recordLength = 0;
    int volumes = 1;
    long long splitAt = -1;
    uint64_t seed = 1;
    std::string badChecksum;
    long long truncateAt = -1;
    std::string out;
};

int Fail(const std::string& message, int code)
{
    std::fprintf(stderr, "zorflash-sim: %s\n", message.c_str());
    return code;
}

// The faults and delays the command line asked for, one plan per instrument index (the
// I-th TCP endpoint and USB device I alike); 0, or the exit code after saying why.
int MakeFaultPlans(const ServeArgs& args, int instruments, std::vector<CFaultPlan>& plans)
{
    std::string error;
    std::vector<std::string> texts = args.faults;
    for (int k : args.nakAt) {
        if (const std::string why = CFaultPlan::WhyNeverAcknowledged(k); !why.empty())
            return Fail("--nak-at " + std::to_string(k) + " can never fire: " + why, 2);
        texts.push_back("record:" + std::to_string(k) + ":nak");
    }
    if (!ParseFaultPlans(texts, instruments, args.ackDelayMs, plans, error))
        return Fail(error, 2);
    unsigned long long imageLimit = 0;
    if (!ParseSize(args.maxImage, imageLimit, error) || imageLimit < 56)
        return Fail("--max-image-bytes wants a size of at least 56 such as 64M or 1G, not '" + args.maxImage + "'", 2);
    for (std::size_t i = 0; i < plans.size(); ++i) {
        plans[i].SetImageLimit(imageLimit);
        plans[i].SetRandomFaults(args.randomFaults, args.seed + i);
    }
    return 0;
}

// The TCP instruments, listening, their ports printed (the first written to --port-file).
int StartTcpFleet(const ServeArgs& args, const std::vector<TcpEndpoint>& endpoints,
                  const std::vector<CFaultPlan>& plans, CTcpFleet& fleet)
{
    std::string error;
    if (!fleet.Listen(endpoints, plans, error))
        return Fail(error, 1);
    for (int i = 0; i < fleet.Size(); ++i) {
        const TcpEndpoint& at = fleet.Endpoint(i);
        fleet.Ledger().Print("listening on " + at.host + ":" + std::to_string(at.port) +
                             (fleet.Size() > 1 ? " instrument=" + std::to_string(i) : std::string()));
    }
    if (!args.portFile.empty()) {
        // Written whole under another name first: a reader never sees half a number.
        const std::string temporary = args.portFile + ".tmp";
        std::ofstream(temporary) << fleet.Endpoint(0).port << "\n";
        std::error_code ec;
        std::filesystem::rename(temporary, args.portFile, ec);
        if (ec)
            return Fail("cannot write '" + args.portFile + "': " + ec.message(), 1);
    }
    return 0;
}

// The pseudo-terminal instruments, open, their paths printed for ZORFLASH_USB_DEVICES.
int OpenPtyInstruments(const ServeArgs& args, const std::vector<CFaultPlan>& plans, CUpdateLedger& ledger,
                       std::vector<std::unique_ptr<CPtyInstrument>>& instruments)
{
    std::string error;
    std::vector<int> numbers;
    if (!ParseNumberList(args.usbNumbers, args.usb, numbers, error))
        return Fail(error, 2);
    int model = 0;
    if (!args.model.empty()) {
        const auto found = FindSimModel(args.model);
        if (!found)
            return Fail("unknown model '" + args.model + "'", 2);
        model = *found;
    }
    const std::string query = args.query.empty() ? SimModelAt(model).idQuery : args.query;
    const std::string prefix = std::string(SimModelAt(model).token) + ",ID:";
    std::string paths;
    for (int i = 0; i < args.usb; ++i) {
        auto instrument = std::make_unique<CPtyInstrument>(i, numbers[i], query, prefix,
                                                           plans[static_cast<std::size_t>(i)], ledger,
                                                           args.idleTimeoutMs);
        if (!instrument->Open(error))
            return Fail(error, 1);
        ledger.Print("usb device " + std::to_string(i) + ": " + instrument->Path() + " number=" +
                     std::to_string(numbers[i]));
        paths += (i ? ":" : "") + instrument->Path();
        instruments.push_back(std::move(instrument));
    }
    ledger.Print("ZORFLASH_USB_DEVICES=" + paths);
    return 0;
}

int RunServe(const ServeArgs& args, bool tcpGiven)
{
    std::string error;
    std::vector<TcpEndpoint> endpoints;
    const bool serveTcp = tcpGiven || args.usb == 0;
    if (serveTcp && !ParseTcpEndpoints(args.tcp, endpoints, error))
        return Fail(error, 2);
    std::vector<CFaultPlan> plans;
    if (const int code = MakeFaultPlans(args, std::max(static_cast<int>(endpoints.size()), args.usb), plans))
        return code;
    std::optional<std::string> imageDir;
    if (!args.outDir.empty()) {
        std::error_code ec;
        std::filesystem::create_directories(args.outDir, ec);
        if (ec)
            return Fail("cannot create '" + args.outDir + "': " + ec.message(), 2);
        imageDir = args.outDir;
    }
    CUpdateLedger ledger(imageDir, args.maxUpdates);
    InstallStopHandlers();

    CTcpFleet fleet(ledger, args.idleTimeoutMs);
    if (serveTcp) {
        if (const int code = StartTcpFleet(args, endpoints, plans, fleet))
            return code;
    }
    std::vector<std::unique_ptr<CPtyInstrument>> instruments;
    if (args.usb > 0) {
        if (const int code = OpenPtyInstruments(args, plans, ledger, instruments))
            return code;
    }
    std::vector<std::jthread> threads;
    for (auto& instrument : instruments)
        threads.emplace_back([&instrument] { instrument->Run(); });
    if (serveTcp)
        fleet.Serve();
    for (auto& thread : threads)
        thread.join();
    return ledger.AnyFailed() ? 1 : 0;
}

int RunMakeSample(const SampleArgs& args)
{
    SampleOptions options;
    std::string error;
    const auto model = FindSimModel(args.model);
    if (!model)
        return Fail("unknown model '" + args.model + "'", 2);
    const auto kind = ParseSimKind(args.kind);
    if (!kind)
        return Fail("unknown kind '" + args.kind + "' (MAIN, SUB or PATTERN)", 2);
    options.model = *model;
    options.kind = *kind;
    if (args.records >= 0)
        options.recordsPerSection = args.records;
    if (!args.bytes.empty()) {
        unsigned long long size = 0;
        if (!ParseSize(args.bytes, size, error))
            return Fail(error, 2);
        options.streamBytes = size;
    }
    options.recordLength = args.recordLength;
    options.seed = args.seed;
    options.volumes = args.volumes;
    if (args.splitAt >= 0)
        options.splitAt = args.splitAt;
    if (!args.badChecksum.empty()) {
        RecordPlace place;
        if (!ParseRecordPlace(args.badChecksum, place, error))
            return Fail(error, 2);
        options.badChecksum = place;
    }
    if (args.truncateAt >= 0)
        options.truncateAt = static_cast<unsigned long long>(args.truncateAt);

    CSampleWriter writer(options);
    if (!writer.Write(args.out, error))
        return Fail(error, 1);
    int volume = 1;
    for (const SampleVolume& written : writer.Volumes())
        std::printf("volume %d: %s (%llu bytes)\n", volume++, written.path.c_str(), written.size);
    std::string counts;
    for (long long count : writer.SectionRecords())
        counts += (counts.empty() ? "" : ",") + std::to_string(count);
    std::printf("sample: model=%s kind=%s sections=%zu records=%s stream-records=%lld\n",
                SimModelAt(options.model).displayName, SimKindName(options.kind),
                writer.SectionRecords().size(), counts.c_str(), writer.StreamRecords());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    ReserveStandardStreams();
    CLI::App app{"zorflash-sim: an instrument that takes firmware updates over TCP and USB"};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("zorflash-sim ") + kZorflashVersion);

    ServeArgs serve;
    serve.tcp = "127.0.0.1:8023";
    auto* serveCmd = app.add_subcommand("serve", "act as instruments until stopped");
    auto* tcpOpt = serveCmd->add_option("--tcp", serve.tcp, "listen on ADDRESS[-ADDRESS]:PORT[-PORT], loopback only: one instrument per "
                                        "address and port (port 0: a free one)")
                       ->capture_default_str();
    serveCmd->add_option("--usb", serve.usb, "number of USB instruments (pseudo-terminals)")
        ->check(CLI::Range(0, 64));
    serveCmd->add_option("--usb-numbers", serve.usbNumbers, "device numbers, e.g. 3,0 (default 0,1,2,...)");
    serveCmd->add_option("--query", serve.query, "identification query the USB instruments answer");
    serveCmd->add_option("--model", serve.model, "model whose query the USB instruments answer");
    serveCmd->add_option("--out", serve.outDir, "keep each received image as DIR/update-NNNN.img");
    serveCmd->add_option("--port-file", serve.portFile, "write the listening port here");
    serveCmd->add_option("--fault", serve.faults, "[I:]STEP:ACTION[:ARG], repeatable; I: only instrument I (from 0)");
    serveCmd->add_option("--ack-delay-ms", serve.ackDelayMs, "delay every record acknowledgement")
        ->check(CLI::Range(0, 600000));
    serveCmd->add_option("--nak-at", serve.nakAt, "answer 'N' after record K of section 1 (0 = START; 1, 65, 129, ...)")
        ->check(CLI::Range(0, 1 << 30));
    serveCmd->add_option("--max-updates", serve.maxUpdates, "stop after N updates")
        ->check(CLI::Range(0, 1 << 30));
    serveCmd->add_option("--random-faults", serve.randomFaults,
                         "give each update with this chance (0..1) one fault drawn at random")
        ->check(CLI::Range(0.0, 1.0));
    serveCmd->add_option("--seed", serve.seed, "seed of --random-faults (instrument I draws from seed + I)")
        ->capture_default_str();
    serveCmd->add_option("--max-image-bytes", serve.maxImage,
                         "refuse an update whose image grows past SIZE (e.g. 64M), cutting the link")
        ->capture_default_str();
    serveCmd->add_option("--idle-timeout-ms", serve.idleTimeoutMs,
                         "give up on a host silent this long, from the connection on")
        ->capture_default_str()->check(CLI::Range(100, 3600000));

    SampleArgs sample;
    auto* sampleCmd = app.add_subcommand("make-sample", "write an update file");
    sampleCmd->add_option("--model", sample.model, "model name or index 0..6")->required();
    sampleCmd->add_option("--kind", sample.kind, "MAIN, SUB or PATTERN")->required();
    auto* recordsOpt = sampleCmd->add_option("--records", sample.records, "records per section, START included")
                           ->check(CLI::Range(0LL, 1LL << 32));
    auto* bytesOpt = sampleCmd->add_option("--bytes", sample.bytes, "about this size instead, e.g. 64M");
    recordsOpt->excludes(bytesOpt);
    sampleCmd->add_option("--record-len", sample.recordLength, "every record with this N (1..255)")
        ->check(CLI::Range(1, 255));
    sampleCmd->add_option("--volumes", sample.volumes, "1 or 2")->check(CLI::Range(1, 2));
    sampleCmd->add_option("--split-at", sample.splitAt, "stream records in volume 1 (END counts)")
        ->check(CLI::Range(0LL, 1LL << 40));
    sampleCmd->add_option("--seed", sample.seed, "seed of lengths and data (default 1)");
    sampleCmd->add_option("--bad-checksum", sample.badChecksum,
                          "spoil the checksum of record K of section S ([S:]K, S 1 by default, K 0 = START)");
    sampleCmd->add_option("--truncate-at", sample.truncateAt, "cut volume 1 at this byte offset")
        ->check(CLI::Range(0LL, 1LL << 50));
    sampleCmd->add_option("OUT", sample.out, "file name; volume n replaces the character before the last '.'")
        ->required();

    std::string image;
    std::string updateFile;
    auto* verifyCmd = app.add_subcommand("verify", "compare a received image with an update file");
    verifyCmd->add_option("IMAGE", image)->required();
    verifyCmd->add_option("UPDATEFILE", updateFile)->required();

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        return app.exit(e) == 0 ? 0 : 2;
    }
    if (serveCmd->parsed())
        return RunServe(serve, tcpOpt->count() > 0);
    if (sampleCmd->parsed()) {
        if (sample.records < 0 && sample.bytes.empty())
            return Fail("give --records N or --bytes SIZE", 2);
        return RunMakeSample(sample);
    }
    std::string report;
    const bool same = CImageVerifier::Verify(image, updateFile, report);
    std::printf("verify: %s\n", report.c_str());
    return same ? 0 : 1;
}
