// zorflash-cli: the update engine from a terminal or a script.

#include "cli/ExitCodes.h"
#include "cli/FileCheck.h"
#include "cli/FlashCommand.h"
#include "cli/JsonEvents.h"
#include "cli/PrintableText.h"
#include "cli/VolumeProblem.h"
#include "cli/ProbeCommand.h"
#include "cli/TargetAddress.h"
#include "platform/Console.h"
#include "platform/PathText.h"
#include "platform/StandardStreams.h"
#include "platform/StringResource.h"
#include "update/DeviceModel.h"
#include "update/UpdateFileReader.h"
#include "update/UpdateProtocol.h"
#include "update/UpdateSettings.h"

#include "ZorflashVersion.h"

#include <CLI/CLI.hpp>

#include <algorithm>
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

int ListModels(bool json)
{
    if (json) {
        nlohmann::ordered_json models = nlohmann::ordered_json::array();
        for (int i = 0; g_deviceModelTable[i].displayName; ++i) {
            const DeviceModel& m = g_deviceModelTable[i];
            models.push_back({{"index", i}, {"model", m.displayName}, {"extension", m.fileExtension},
                              {"tcp", m.tcpAllowed != 0}, {"usb", m.usbAllowed != 0}});
        }
        std::printf("%s\n", CJsonEvents::Dump({{"schema", CJsonEvents::kSchema}, {"models", models}}).c_str());
        return kExitCompleted;
    }
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

int InspectFile(int modelIndex, const std::string& file, bool json, Language language)
{
    const UpdateSettings settings = SettingsFor(modelIndex, file);
    CFileCheck::Report report = CFileCheck::Inspect(settings, language);
    // A missing volume is named with its path, never with the prompt the update would show.
    if (report.missingVolume > 0) {
        const CVolumeProblem::Finding f = CVolumeProblem::Check(settings, report.missingVolume);
        report.problem = CVolumeProblem::Describe(f);
        report.where = "volume " + std::to_string(f.volume);
    }
    // The update opens volume 1 by the naming rule, which may not be the file given.
    std::string first;
    MakeVolumeFileName(1, file, first);
    const std::string namingRule =
        first == file ? ""
                      : "the update opens volume 1 as " + first + ", not " + file +
                            ": the character before the extension is replaced by the volume's digit (fw.R71 -> f1.R71, f2.R71)";
    uint64_t records = 0;
    uint64_t bytes = 0;
    for (const CFileCheck::Section& s : report.sections) {
        records += s.records;
        bytes += s.bytes;
    }
    if (json) {
        nlohmann::ordered_json sections = nlohmann::ordered_json::array();
        for (const CFileCheck::Section& s : report.sections)
            sections.push_back({{"records", s.records}, {"bytes", s.bytes}});
        nlohmann::ordered_json document = {{"schema", CJsonEvents::kSchema}, {"model", settings.model.displayName},
                                   {"kind", report.kind.empty() ? nullptr : nlohmann::ordered_json(report.kind)},
                                   {"volumes", report.volumePaths}, {"sections", sections},
                                   {"records", records}, {"bytes", bytes}, {"complete", report.complete}};
        if (!report.complete)
            document["problem"] = {{"text", report.problem}, {"where", report.where}};
        if (!namingRule.empty())
            document["namingRule"] = namingRule;
        std::printf("%s\n", CJsonEvents::Dump(document).c_str());
        return report.complete ? kExitCompleted : kExitFailed;
    }
    if (!namingRule.empty())
        std::printf("note:     %s\n", PrintableText(namingRule).c_str());
    std::printf("model:    %s\n", settings.model.displayName);
    std::printf("kind:     %s\n", report.kind.empty() ? "unknown" : report.kind.c_str());
    std::printf("volumes:  %zu\n", report.volumePaths.size());
    for (size_t i = 0; i < report.volumePaths.size(); ++i)
        std::printf("  volume %zu: %s\n", i + 1, PrintableText(report.volumePaths[i]).c_str());
    for (size_t i = 0; i < report.sections.size(); ++i) {
        const CFileCheck::Section& s = report.sections[i];
        std::printf("section %zu: %llu records, %llu bytes\n", i + 1, static_cast<unsigned long long>(s.records),
                    static_cast<unsigned long long>(s.bytes));
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

// Edits between two words, for "did you mean".
size_t Distance(const std::string& a, const std::string& b)
{
    std::vector<size_t> row(b.size() + 1);
    for (size_t j = 0; j <= b.size(); ++j)
        row[j] = j;
    for (size_t i = 1; i <= a.size(); ++i) {
        size_t diagonal = row[0];
        row[0] = i;
        for (size_t j = 1; j <= b.size(); ++j) {
            const size_t above = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

// The first word that is no option and no option's value must name a subcommand; a near
// miss gets the name it was probably meant to be.
bool CheckSubcommandName(int argc, char** argv, const std::vector<std::string>& names)
{
    for (int i = 1; i < argc; ++i) {
        const std::string word = argv[i];
        if (word == "--lang") {
            ++i;
            continue;
        }
        if (word.empty() || word[0] == '-')
            continue;
        if (std::find(names.begin(), names.end(), word) != names.end())
            return true;
        std::string best;
        size_t bestDistance = 3;
        for (const std::string& name : names) {
            const size_t d = Distance(word, name);
            if (d < bestDistance || (name.rfind(word, 0) == 0 && best.empty())) {
                best = name;
                bestDistance = std::min(d, bestDistance);
            }
        }
        std::fprintf(stderr, "zorflash-cli: unknown command '%s'%s\nRun with --help for more information.\n",
                     word.c_str(), best.empty() ? "" : ("; did you mean " + best + "?").c_str());
        return false;
    }
    return true;
}

uint32_t ParseTimeout(const std::string& text)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        throw CLI::ValidationError("--timeout", "'" + text + "' is not a number of milliseconds");
    const unsigned long value = std::stoul(text);
    if (value < 1 || value > 600000)
        throw CLI::ValidationError("--timeout", "'" + text + "' is outside 1..600000 ms");
    return static_cast<uint32_t>(value);
}

// What the flash subcommand was given, as typed.
struct FlashArguments {
    std::string model, file, tcpTarget, statusFile;
    bool useUsb = false;
    bool normalMode = false;
    bool quiet = false;
    bool noPrecheck = false;
    bool noPrompt = false;
    std::string traceFile;
    bool traceAll = false;
    std::string timeout;  // as typed: a number of ms, checked here to say what is wrong
};

// The options of one flash, or a CLI::ValidationError naming what is wrong.
FlashOptions FlashOptionsFrom(const FlashArguments& args, Language language, bool json)
{
    if (args.tcpTarget.empty() && !args.useUsb)
        throw CLI::ValidationError("flash", "choose the link: --tcp A.B.C.D[:PORT] or --usb");
    FlashOptions options;
    options.settings = SettingsFor(ResolveModel(args.model), args.file);
    const DeviceModel& model = options.settings.model;
    if (args.useUsb && !model.usbAllowed)
        throw CLI::ValidationError("--usb", std::string(model.displayName) + " cannot be reached over USB");
    if (!args.useUsb && !model.tcpAllowed)
        throw CLI::ValidationError("--tcp", std::string(model.displayName) + " cannot be reached over TCP/IP");
    if (!args.useUsb) {
        std::string error;
        if (!ParseTargetAddress(args.tcpTarget, options.settings.ipAddress, options.settings.port, error))
            throw CLI::ValidationError("--tcp", error);
    }
    options.settings.useUsb = args.useUsb ? 1 : 0;
    options.settings.fastMode = args.normalMode ? 0 : 1;
    options.quiet = args.quiet;
    options.precheck = !args.noPrecheck;
    options.noPrompt = args.noPrompt;
    options.json = json;
    options.statusFile = args.statusFile;
    options.traceFile = args.traceFile;
    options.traceAll = args.traceAll;
    options.timeoutGiven = !args.timeout.empty();
    if (options.timeoutGiven)
        options.timeoutMs = ParseTimeout(args.timeout);
    options.language = language;
    return options;
}

}  // namespace

int main(int argc, char** argv)
{
    ReserveStandardStreams();
    PrepareConsoleProcess();

    CLI::App app{"zorflash-cli: rewrite the firmware of a Morvenal instrument over TCP/IP or USB.\n"
                 "Exit codes: 0 completed, 1 update failed (stderr says why), 2 command-line error or\n"
                 "unusable status or trace file, 3 cancelled by the operator, 4 completed but the status\n"
                 "file could not be written, 129/130/143 ended by SIGHUP/SIGINT/SIGTERM (link closed,\n"
                 "status file written). --json output: docs/cli.md."};
    app.require_subcommand(1);
    app.set_version_flag("--version", std::string("zorflash-cli ") + kZorflashVersion);
    // Options of the program itself (--lang) are accepted after the subcommand too.
    app.fallthrough();
    std::string lang;
    app.add_option("--lang", lang, "Language of the status text: en or ja (default: ZORFLASH_LANG, then the locale)")
        ->check(CLI::IsMember({"en", "ja"}));
    bool json = false;
    app.add_flag("--json", json, "Output for scripts: one JSON document (models, inspect, probe) or one JSON "
                                 "object per event (flash), schema in docs/cli.md");

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
    CLI::App* flash = app.add_subcommand("flash", "Update one instrument's firmware");
    flash->add_option("--model", flashArgs.model, "Model: display name (RT71, RT36/38/39, ...) or index 0-6")
        ->required();
    flash->add_option("--file", flashArgs.file, "The update file (volume 2, if any, is found by its name)")->required();
    CLI::Option* tcpOption =
        flash->add_option("--tcp", flashArgs.tcpTarget, "Instrument over TCP/IP: A.B.C.D[:PORT] (port 8023 by default)");
    CLI::Option* usbOption =
        flash->add_flag("--usb", flashArgs.useUsb, "Instrument over USB (the one answering device number 0)");
    tcpOption->excludes(usbOption);
    flash->add_flag("--normal", flashArgs.normalMode, "Send records one by one instead of in blocks of 64 (fast mode)");
    flash->add_flag("--no-precheck", flashArgs.noPrecheck,
                    "Stream the file as the desktop application does, without reading it whole first");
    flash->add_flag("--no-prompt", flashArgs.noPrompt, "A missing or wrong volume ends the run at once (exit 1)");
    flash->add_option("--status-file", flashArgs.statusFile,
                      "Write the final status text there, byte for byte (CR LF, UTF-8); checked before the "
                      "instrument is contacted: it must be a regular file, writable, and no volume of the update");
    flash->add_option("--trace", flashArgs.traceFile, "Write every byte of the link there, with times, as a hex dump");
    flash->add_flag("--trace-all", flashArgs.traceAll, "In the trace, every record too (default: one summary per block)");
    flash->add_flag("-q,--quiet", flashArgs.quiet, "Print only errors");
    flash->add_option("--timeout", flashArgs.timeout,
                      "Time-out of every send and receive, in ms (default 10000); when given, it also lowers "
                      "every other wait to at most MS: connect (21000), link commands (5000), USB "
                      "identification of each instrument (2000)");

    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands({}))
        names.push_back(sub->get_name());
    if (!CheckSubcommandName(argc, argv, names))
        return kExitUsage;

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
            return ListModels(json);
        if (inspect->parsed())
            return InspectFile(ResolveModel(inspectModel), inspectFile, json, language);
        if (probe->parsed())
            return RunProbe(ResolveModel(probeModel), json);
        if (flash->parsed()) {
            return RunFlash(FlashOptionsFrom(flashArgs, language, json));
        }
    } catch (const CLI::Error& e) {
        std::fprintf(stderr, "zorflash-cli: %s\n", e.what());
        return kExitUsage;
    }
    return kExitUsage;
}
