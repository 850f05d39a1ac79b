// zorflash-cli: the update engine from a terminal or a script.

#include "present/FileCheckText.h"
#include "cli/commands/FlashCommand.h"
#include "cli/commands/FileReportCommand.h"
#include "cli/commands/ModelsCommand.h"
#include "cli/commands/ProbeCommand.h"
#include "present/PrintableText.h"
#include "present/DisplayTexts.h"
#include "present/OutcomeTable.h"
#include "cli/run/TargetList.h"
#include "platform/AbortSignal.h"
#include "platform/Console.h"
#include "platform/ConsoleInterrupt.h"
#include "platform/DescriptorLimit.h"
#include "platform/OutputQueue.h"
#include "platform/PathText.h"
#include "platform/StandardStreams.h"
#include "platform/StringResource.h"
#include "update/DeviceModel.h"
#include "update/UpdateSettings.h"

#include "ZorflashVersion.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

using namespace zorflash;

namespace {

using Id = CDisplayTexts::Id;

std::string Say(Id id, Language language, std::initializer_list<std::string> values = {})
{
    return CDisplayTexts::Format(id, language, values);
}

int ResolveModel(const std::string& text, Language language)
{
    const int index = FindDeviceModel(text.c_str());
    if (index < 0)
        throw CLI::ValidationError("--model", Say(Id::UsageUnknownModel, language, {text}));
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
bool CheckSubcommandName(int argc, char** argv, const CLI::App& app)
{
    std::vector<std::string> names;
    for (const CLI::App* sub : app.get_subcommands({}))
        names.push_back(sub->get_name());
    // Said before the parser has read --lang: the same choice, made from the words as typed.
    const char* lang = nullptr;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::string(argv[i]) == "--lang" && (std::string(argv[i + 1]) == "en" || std::string(argv[i + 1]) == "ja"))
            lang = argv[i + 1];
    const Language language = LanguageFromEnvironment(lang);
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
        std::fprintf(stderr, "zorflash-cli: %s%s\n%s\n", Say(Id::UsageUnknownCommand, language, {PrintableText(word)}).c_str(),
                     best.empty() ? "" : Say(Id::UsageDidYouMean, language, {best}).c_str(),
                     Say(Id::UsageRunHelp, language).c_str());
        return false;
    }
    return true;
}

// Several lines of a message, each made printable, their line ends kept.
std::string PrintableLines(const std::string& text)
{
    std::string shown;
    std::size_t begin = 0;
    for (std::size_t end; (end = text.find('\n', begin)) != std::string::npos; begin = end + 1)
        shown += PrintableText(text.substr(begin, end - begin)) + '\n';
    return shown + PrintableText(text.substr(begin));
}

// The line on stderr and the exit code of a command ended by the exception in flight.
int Stopped(std::string& line)
{
    try {
        throw;
    } catch (const CLI::Error& e) {
        // The messages quote the operator's text (an address, a targets file's line).
        line = "zorflash-cli: " + PrintableLines(std::string(e.what()) + "\n");
        return kExitUsage;
    } catch (const std::exception& e) {
        line = std::string("zorflash-cli: stopped by an error of the program: ") + e.what() + "\n";
    } catch (...) {
        line = "zorflash-cli: stopped by an error of the program\n";
    }
    return kExitFailed;
}

uint32_t ParseTimeout(const std::string& text, Language language)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        throw CLI::ValidationError("--timeout", Say(Id::UsageNotMilliseconds, language, {text}));
    const unsigned long value = std::stoul(text);
    if (value < 1 || value > 600000)
        throw CLI::ValidationError("--timeout", Say(Id::UsageTimeoutRange, language, {text}));
    return static_cast<uint32_t>(value);
}

// What the flash subcommand was given: the options that need no reading bound in place,
// the others as typed.
struct FlashArguments {
    FlashOptions options;
    std::string model, file, targetsFile, usbNumbers;
    std::vector<std::string> tcpTargets;
    bool useUsb = false;
    bool normalMode = false;
    bool noPrecheck = false;
    std::string timeout;  // as typed: a number of ms, checked by ParseTimeout to say what is wrong
};

// Every target the command line names, in order, or a CLI::ValidationError naming what is
// wrong (a transport the model does not allow included).
CTargetList TargetsFrom(const FlashArguments& args, const DeviceModel& model, Language language)
{
    CTargetList targets(language);
    std::string error;
    for (const std::string& tcp : args.tcpTargets)
        if (!targets.AddTcp(tcp, error))
            throw CLI::ValidationError("--tcp", error);
    if (!args.usbNumbers.empty() && !targets.AddUsbNumbers(args.usbNumbers, error))
        throw CLI::ValidationError("--usb-number", error);
    if (args.useUsb && args.usbNumbers.empty() && !targets.AddUsbNumbers("0", error))
        throw CLI::ValidationError("--usb", error);
    // Nothing arriving on a FIFO must not hold the command: its read has the run's bound.
    if (!args.targetsFile.empty() &&
        !targets.AddFile(args.targetsFile, error,
                         args.options.timeoutGiven ? args.options.timeoutMs : CTargetList::kFileTimeoutMs))
        throw CLI::ValidationError("--targets", error);
    if (targets.Empty())
        throw CLI::ValidationError("flash", Say(Id::UsageChooseLink, language));
    for (const FleetTarget& target : targets.Targets()) {
        const bool usb = target.kind == FleetTarget::Kind::Usb;
        if (usb && !model.usbAllowed)
            throw CLI::ValidationError("--usb", Say(Id::UsageNoUsb, language, {model.displayName}));
        if (!usb && !model.tcpAllowed)
            throw CLI::ValidationError("--tcp", Say(Id::UsageNoTcp, language, {model.displayName}));
    }
    return targets;
}

int RunFlashCommand(FlashArguments& args, Language language, bool json, COutputQueue& output)
{
    FlashOptions& options = args.options;
    options.settings = SettingsFor(ResolveModel(args.model, language), args.file);
    options.settings.fastMode = args.normalMode ? 0 : 1;
    options.targets = TargetsFrom(args, options.settings.model, language).Targets();
    // Said before anything else: the disk prompt would otherwise be the first sign that
    // another file than the one chosen is looked for.
    if (const std::string note = VolumeNamingRule(args.file, language); !note.empty() && !options.quiet)
        output.Post(stderr, "zorflash-cli: note: " + note + "\n");
    options.precheck = !args.noPrecheck;
    options.json = json;
    options.language = language;
    // Several targets writing one status or trace file would leave only the last one's.
    const bool several = options.targets.size() > 1;
    if (several && !options.statusFile.empty() && options.statusFile.find("{target}") == std::string::npos)
        throw CLI::ValidationError("--status-file", Say(Id::UsageNeedsTarget, language));
    if (several && !options.traceFile.empty() && options.traceFile.find("{target}") == std::string::npos)
        throw CLI::ValidationError("--trace", Say(Id::UsageNeedsTarget, language));
    return RunFlash(options, output);
}

// The exit codes as the outcome table gives them: --help, and the manual page made from
// it, can list no other code than a run ends with.
std::string ExitCodesHelp()
{
    std::string text = "Exit codes:\n";
    for (const ExitCodeMeaning& exit : COutcomeTable::ExitCodes()) {
        std::string code = std::to_string(exit.code);
        code.resize(6, ' ');
        text += "  " + code + exit.meaning[static_cast<int>(Language::English)] + "\n";
    }
    return text;
}

// How long the end of `flash` waits for output nobody reads: while it still moves it is
// waited for; after a signal only briefly, since the operator asked the run to end.
constexpr std::chrono::seconds kOutputStall{60};

// `flash`: everything it prints goes through one writer thread, so no update ever waits on
// stdout, stderr or a trace file. Whatever ends the command, the output is flushed, with
// a bound; output that cannot be written then is left behind, never the exit code.
int Flash(FlashArguments& args, Language language, bool json)
{
    std::optional<COutputQueue> output;
    try {
        output.emplace();
    } catch (const std::system_error& e) {
        std::fprintf(stderr, "zorflash-cli: cannot start the output writer: %s; no instrument was contacted\n",
                     e.what());
        return kExitUsage;
    }
    int code = kExitFailed;
    try {
        if (!args.timeout.empty()) {
            args.options.timeoutMs = ParseTimeout(args.timeout, language);
            args.options.timeoutGiven = true;
        }
        code = RunFlashCommand(args, language, json, *output);
    } catch (...) {
        // The update threads have been joined by now (their owners unwound), so every link is
        // closed; what is left is to say so.
        std::string line;
        code = Stopped(line);
        output->Post(stderr, line);
    }
    // Most runs end with their output written: no watcher thread to start and stop.
    if (output->Drained())
        return code;
    const bool signalled = code == kExitInterrupted || code == kExitTerminated || code == kExitHangUp;
    CAbortSignal endNow;
    if (signalled)
        endNow.Trigger();
    std::optional<CConsoleInterrupt> watcher;
    try {
        watcher.emplace(endNow);  // a signal while the output drains cuts the wait short
    } catch (const std::system_error&) {
    }
    if (!output->Flush(kOutputStall, &endNow)) {
        // The writer is blocked on a stream nobody reads: end without it, and without the
        // C library's own flush, which would wait on the same stream.
        output->Abandon();
        std::_Exit(code);
    }
    return code;
}

}  // namespace

int main(int argc, char** argv)
{
    ReserveStandardStreams();
    PrepareConsoleProcess();
    RaiseDescriptorLimit();

    CLI::App app{"zorflash-cli: rewrite the firmware of a Morvenal instrument over TCP/IP or USB.\n"
                 "Guides: docs/cli.md and docs/fleet.md (installed in /usr/share/doc/zorflash).",
                 // Named here, or the usage lines would show argv[0], a build path.
                 "zorflash-cli"};
    app.footer(ExitCodesHelp);
    app.require_subcommand(1);
    // Options of the program itself (--lang, --json) are accepted after the subcommand too.
    app.fallthrough();
    app.set_version_flag("--version", std::string("zorflash-cli ") + kZorflashVersion);
    std::string lang;
    app.add_option("--lang", lang, "Language of the status text: en or ja (default: ZORFLASH_LANG, then the locale)")
        ->check(CLI::IsMember({"en", "ja"}));

    bool json = false;
    app.add_flag("--json", json, "Output for scripts: one JSON document (models, inspect, probe) or one JSON "
                                 "object per event (flash; with several targets each names its target and the "
                                 "last line is the summary), schema in docs/cli.md");

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
                      "Instrument over TCP/IP: A.B.C.D[:PORT] (port 8023 by default), or a range "
                      "A.B.C.D-E.F.G.H[:PORT[-PORT]]; repeatable");
    flash->add_flag("--usb", flashArgs.useUsb, "Instrument over USB (the one answering device number 0)");
    flash->add_option("--usb-number", flashArgs.usbNumbers, "USB instruments by device number: N[,N...] (implies --usb)");
    flash->add_option("--targets", flashArgs.targetsFile, "Targets one a line: A.B.C.D[:PORT], a range as --tcp, or usb:N; # comments");
    flash->add_option("--parallel", flashArgs.options.parallel, "Update at most N instruments at once (default: all)")
        ->check(CLI::Range(std::size_t{1}, CTargetList::kMaxTargets));
    flash->add_flag("--normal", flashArgs.normalMode, "Send records one by one instead of in blocks of 64 (fast mode)");
    flash->add_option("--status-file", flashArgs.options.statusFile,
                      "Write the final status text there, byte for byte (CR LF, UTF-8); checked before the "
                      "instrument is contacted: it must be a regular file, writable, and no volume of the update; "
                      "with several targets a pattern holding {target}");
    flash->add_flag("-q,--quiet", flashArgs.options.quiet, "Print only errors");
    flash->add_option("--timeout", flashArgs.timeout,
                      "Time-out of every send and receive, in ms (default 10000); when given, it also lowers "
                      "every other wait to at most MS: connect (21000), link commands (5000), USB "
                      "identification of each instrument (2000)");
    flash->add_flag("--no-precheck", flashArgs.noPrecheck,
                    "Stream the file as the desktop application does, without reading it whole first");
    flash->add_flag("--no-prompt", flashArgs.options.noPrompt, "A missing or wrong volume ends the run at once (exit 1)");
    flash->add_option("--trace", flashArgs.options.traceFile,
                      "Write every byte of the link there, with times, as a hex dump; with several targets a "
                      "pattern holding {target}");
    flash->add_flag("--trace-all", flashArgs.options.traceAll, "In the trace, every record too (default: one summary per block)");
    // The language option is accepted after the subcommand too.
    flash->add_option("--lang", lang, "Language of the status text: en or ja")->check(CLI::IsMember({"en", "ja"}));
    flash->footer("Examples:\n"
                  "  One instrument at the address its panel shows (port 8023):\n"
                  "    zorflash-cli flash --model RT71 --file fw1.R71 --tcp 10.1.2.3\n"
                  "  The instrument on USB, records one by one, the status text kept:\n"
                  "    zorflash-cli flash --model RT23 --file fw1.R23 --usb --normal --status-file status.txt\n"
                  "  Eight instruments, four at a time, JSON events for a script:\n"
                  "    zorflash-cli flash --model RT71 --file fw1.R71 --tcp 10.1.2.10-10.1.2.17 --parallel 4 --json");

    if (!CheckSubcommandName(argc, argv, app))
        return kExitUsage;

    // CLI11 takes the arguments without the program's name (there may be none at all), last first.
    std::vector<std::string> arguments = CommandLineArguments(argc, argv);
    if (!arguments.empty())
        arguments.erase(arguments.begin());
    std::reverse(arguments.begin(), arguments.end());
    try {
        app.parse(arguments);
    } catch (const CLI::ParseError& e) {
        // CLI11 quotes what was typed; a value holding escape sequences must reach the
        // terminal as visible text, as every other message does.
        std::ostringstream out, err;
        const int code = app.exit(e, out, err);
        std::fputs(out.str().c_str(), stdout);
        std::fputs(PrintableLines(err.str()).c_str(), stderr);
        return code == 0 ? kExitCompleted : kExitUsage;
    }
    const Language language = LanguageFromEnvironment(lang.empty() ? nullptr : lang.c_str());

    try {
        if (models->parsed())
            return ListModels(json);
        if (inspect->parsed())
            return RunInspect(SettingsFor(ResolveModel(inspectModel, language), inspectFile), json, language);
        if (probe->parsed())
            return RunProbe(ResolveModel(probeModel, language), json, language);
        if (flash->parsed())
            return Flash(flashArgs, language, json);
    } catch (...) {
        std::string line;
        const int code = Stopped(line);
        std::fputs(line.c_str(), stderr);
        return code;
    }
    return kExitUsage;
}
