// zorflash-cli: the update engine from a terminal or a script.

#include "cli/ExitCodes.h"
#include "cli/FileCheck.h"
#include "cli/FleetCommand.h"
#include "cli/FlashCommand.h"
#include "cli/PrintableText.h"
#include "cli/ProbeCommand.h"
#include "cli/TargetAddress.h"
#include "cli/TargetList.h"
#include "platform/Console.h"
#include "platform/PathText.h"
#include "platform/StandardStreams.h"
#include "platform/StringResource.h"
#include "update/DeviceModel.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateSettings.h"

#include "ZorflashVersion.h"

#include <CLI/CLI.hpp>

#include <cstdio>
#include <string>
#include <vector>

using namespace zorflash;

namespace {

int ResolveModel(const std::string& text)
{
    const int index = FindDeviceModel(text.c_str());
    if (index < 0)
        throw CLI::ValidationError("--model", "unknown model '" + text + "' (see 'zorflash-cli models')");
    return index;
}

UpdateSettings SettingsFor(int modelIndex, const std::string& file)
{
    UpdateSettings settings;
    ApplyNewDocumentDefaults(settings);
    ApplyModelSelection(settings, modelIndex);
    settings.filePath = file;
    // The system's own separators: '/' on POSIX, '\\' and '/' on Windows.
    settings.fileName = Utf8FromPath(PathFromUtf8(file).filename());
    return settings;
}

int ListModels()
{
    std::printf("%-5s  %-12s  %-9s  %s\n", "index", "model", "extension", "transports");
    for (int i = 0; g_deviceModelTable[i].displayName; ++i) {
        const DeviceModel& m = g_deviceModelTable[i];
        std::string transports;
        if (m.tcpAllowed)
            transports += "tcp";
        if (m.usbAllowed)
            transports += transports.empty() ? "usb" : ",usb";
        std::printf("%-5d  %-12s  %-9s  %s\n", i, m.displayName, m.fileExtension, transports.c_str());
    }
    return kExitCompleted;
}

int InspectFile(int modelIndex, const std::string& file, Language language)
{
    const UpdateSettings settings = SettingsFor(modelIndex, file);
    const CFileCheck::Report report = CFileCheck::Inspect(settings, language);
    std::printf("model:    %s\n", settings.model.displayName);
    std::printf("kind:     %s\n", report.kind.empty() ? "unknown" : report.kind.c_str());
    std::printf("volumes:  %zu\n", report.volumePaths.size());
    for (size_t i = 0; i < report.volumePaths.size(); ++i)
        std::printf("  volume %zu: %s\n", i + 1, PrintableText(report.volumePaths[i]).c_str());
    uint64_t records = 0;
    uint64_t bytes = 0;
    for (size_t i = 0; i < report.sections.size(); ++i) {
        const CFileCheck::Section& s = report.sections[i];
        std::printf("section %zu: %llu records, %llu bytes\n", i + 1, static_cast<unsigned long long>(s.records),
                    static_cast<unsigned long long>(s.bytes));
        records += s.records;
        bytes += s.bytes;
    }
    std::printf("total:    %llu records, %llu bytes\n", static_cast<unsigned long long>(records),
                static_cast<unsigned long long>(bytes));
    if (report.complete) {
        std::printf("result:   OK, the file would transfer completely\n");
        return kExitCompleted;
    }
    std::printf("result:   %s\n", PrintableText(report.problem).c_str());
    std::printf("where:    %s\n", PrintableText(report.where).c_str());
    return kExitFailed;
}

// What the flash subcommand was given, as typed.
struct FlashArguments {
    std::string model, file, statusFile, targetsFile, usbNumbers;
    std::vector<std::string> tcpTargets;
    std::size_t parallel = 0;
    bool useUsb = false;
    bool normalMode = false;
    bool quiet = false;
    uint32_t timeoutMs = UpdateProtocol::kTransferTimeoutMs;
    bool timeoutGiven = false;
};

// Every target the command line names, in order, or a CLI::ValidationError naming what is
// wrong (a transport the model does not allow included).
CTargetList TargetsFrom(const FlashArguments& args, const DeviceModel& model)
{
    CTargetList targets;
    std::string error;
    for (const std::string& tcp : args.tcpTargets)
        if (!targets.AddTcp(tcp, error))
            throw CLI::ValidationError("--tcp", error);
    if (!args.usbNumbers.empty() && !targets.AddUsbNumbers(args.usbNumbers, error))
        throw CLI::ValidationError("--usb-number", error);
    if (args.useUsb && args.usbNumbers.empty() && !targets.AddUsbNumbers("0", error))
        throw CLI::ValidationError("--usb", error);
    if (!args.targetsFile.empty() && !targets.AddFile(args.targetsFile, error))
        throw CLI::ValidationError("--targets", error);
    if (targets.Empty())
        throw CLI::ValidationError("flash", "choose the link: --tcp A.B.C.D[:PORT], --usb or --targets FILE");
    for (const FleetTarget& target : targets.Targets()) {
        const bool usb = target.kind == FleetTarget::Kind::Usb;
        if (usb && !model.usbAllowed)
            throw CLI::ValidationError("--usb", std::string(model.displayName) + " cannot be reached over USB");
        if (!usb && !model.tcpAllowed)
            throw CLI::ValidationError("--tcp", std::string(model.displayName) + " cannot be reached over TCP/IP");
    }
    return targets;
}

// One target runs as it always has; several run as a fleet.
int RunFlashCommand(const FlashArguments& args, Language language)
{
    const UpdateSettings base = SettingsFor(ResolveModel(args.model), args.file);
    const CTargetList targets = TargetsFrom(args, base.model);
    if (targets.Targets().size() > 1) {
        // Several targets writing one status file would leave only the last one's.
        if (!args.statusFile.empty() && args.statusFile.find("{target}") == std::string::npos)
            throw CLI::ValidationError("--status-file", "with several targets the name must hold {target}");
        FleetOptions fleet;
        fleet.settings = base;
        fleet.settings.fastMode = args.normalMode ? 0 : 1;
        fleet.targets = targets.Targets();
        fleet.parallel = args.parallel;
        fleet.quiet = args.quiet;
        fleet.statusFilePattern = args.statusFile;
        fleet.timeoutMs = args.timeoutMs;
        fleet.timeoutGiven = args.timeoutGiven;
        fleet.language = language;
        return RunFleet(fleet);
    }
    const FleetTarget& only = targets.Targets().front();
    FlashOptions options;
    options.settings = base;
    options.settings.ipAddress = only.address;
    options.settings.port = only.port;
    options.settings.usbDeviceNumber = only.usbNumber;
    options.settings.useUsb = only.kind == FleetTarget::Kind::Usb ? 1 : 0;
    options.settings.fastMode = args.normalMode ? 0 : 1;
    options.quiet = args.quiet;
    options.statusFile = args.statusFile;
    options.timeoutMs = args.timeoutMs;
    options.timeoutGiven = args.timeoutGiven;
    options.language = language;
    return RunFlash(options);
}

}  // namespace

int main(int argc, char** argv)
{
    ReserveStandardStreams();
    PrepareConsoleProcess();

    CLI::App app{"zorflash-cli: rewrite the firmware of a Morvenal instrument over TCP/IP or USB.\n"
                 "Exit codes: 0 completed, 1 update failed, 2 command-line error or unusable status file,\n"
                 "3 cancelled, 4 completed but the status file could not be written,\n"
                 "129/130/143 ended by SIGHUP/SIGINT/SIGTERM (link closed, status file written)."};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("zorflash-cli ") + kZorflashVersion);
    std::string lang;
    app.add_option("--lang", lang, "Language of the status text: en or ja (default: ZORFLASH_LANG, then the locale)")
        ->check(CLI::IsMember({"en", "ja"}));

    CLI::App* models = app.add_subcommand("models", "List the instrument models, their file extensions and transports");

    std::string inspectModel, inspectFile;
    CLI::App* inspect = app.add_subcommand(
        "inspect", "Read an update file (every volume) and report its kind, sections, records and first problem");
    inspect->add_option("--model", inspectModel, "Model: display name (RT71, RT36/38/39, ...) or index 0-6")->required();
    inspect->add_option("FILE", inspectFile, "The update file, as an operator would choose it")->required();

    std::string probeModel;
    CLI::App* probe = app.add_subcommand("probe", "List the USB instruments and the device number each answers with");
    probe->add_option("--model", probeModel, "Model whose identification query is sent")->required();

    FlashArguments flashArgs;
    CLI::App* flash = app.add_subcommand("flash", "Update the firmware of one instrument, or of several at once");
    flash->add_option("--model", flashArgs.model, "Model: display name (RT71, RT36/38/39, ...) or index 0-6")
        ->required();
    flash->add_option("--file", flashArgs.file, "The update file (volume 2, if any, is found by its name)")->required();
    flash->add_option("--tcp", flashArgs.tcpTargets,
                      "Instrument over TCP/IP: A.B.C.D[:PORT] (port 8023 by default); repeatable");
    flash->add_flag("--usb", flashArgs.useUsb, "Instrument over USB (the one answering device number 0)");
    flash->add_option("--usb-number", flashArgs.usbNumbers, "USB instruments by device number: N[,N...] (implies --usb)");
    flash->add_option("--targets", flashArgs.targetsFile, "Targets one a line: A.B.C.D[:PORT] or usb:N; # comments");
    flash->add_option("--parallel", flashArgs.parallel, "Update at most N instruments at once (default: all)")
        ->check(CLI::Range(std::size_t{1}, CTargetList::kMaxTargets));
    flash->add_flag("--normal", flashArgs.normalMode, "Send records one by one instead of in blocks of 64 (fast mode)");
    flash->add_option("--status-file", flashArgs.statusFile,
                      "Write the final status text there, byte for byte (CR LF, UTF-8); checked before the "
                      "instrument is contacted: it must be a regular file, writable, and no volume of the update; "
                      "with several targets a pattern holding {target}");
    flash->add_flag("-q,--quiet", flashArgs.quiet, "Print only errors");
    CLI::Option* timeoutOption =
        flash->add_option("--timeout", flashArgs.timeoutMs,
                          "Time-out of every send and receive, in ms (default 10000); when given, it also lowers "
                          "every other wait to at most MS: connect (21000), link commands (5000), USB "
                          "identification of each instrument (2000)")
            ->check(CLI::Range(1u, 600000u));
    // The language option is accepted after the subcommand too.
    flash->add_option("--lang", lang, "Language of the status text: en or ja")->check(CLI::IsMember({"en", "ja"}));

    const std::vector<std::string> arguments = CommandLineArguments(argc, argv);
    std::vector<const char*> texts;
    if (arguments.empty())
        texts.push_back("zorflash-cli");  // started with no name at all
    for (const std::string& argument : arguments)
        texts.push_back(argument.c_str());
    try {
        app.parse(static_cast<int>(texts.size()), texts.data());
    } catch (const CLI::ParseError& e) {
        const int code = app.exit(e);
        return code == 0 ? kExitCompleted : kExitUsage;
    }
    const Language language = LanguageFromEnvironment(lang.empty() ? nullptr : lang.c_str());

    try {
        if (models->parsed())
            return ListModels();
        if (inspect->parsed())
            return InspectFile(ResolveModel(inspectModel), inspectFile, language);
        if (probe->parsed())
            return RunProbe(ResolveModel(probeModel));
        if (flash->parsed()) {
            flashArgs.timeoutGiven = timeoutOption->count() > 0;
            return RunFlashCommand(flashArgs, language);
        }
    } catch (const CLI::Error& e) {
        std::fprintf(stderr, "zorflash-cli: %s\n", e.what());
        return kExitUsage;
    }
    return kExitUsage;
}
