#include "app/cmdline.h"

#include "app/folders.h"
#include "self/version.h"

#include <getopt.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

CommandLine commandLine;

static const char kUsage[] =
    "Usage: kelvane [OPTION]...\n"
    "An OpenGL triangle-throughput benchmark. Without options it opens its window; Ctrl+T\n"
    "starts a test there.\n"
    "\n"
    "  --test               start a test at once and end when it has ended\n"
    "  --validate           draw fixed frames, compare them with the references and end\n"
    "  --offscreen[=WxH]    no window system: render through EGL on a WxH surface\n"
    "                       (default 1920x1080); on a GPU machine, on the GPU\n"
    "  --device N           with --offscreen, render on EGL device N (0 is the first)\n"
    "  --list-devices       list the EGL devices with their renderers, as --device numbers\n"
    "                       them, and end\n"
    "  --results DIR        write the log, the screenshot and the JSON into DIR, made with\n"
    "                       its parents when missing (default: a build tree's, the folder\n"
    "                       that holds Kelvane.app; installed, $XDG_DATA_HOME/kelvane,\n"
    "                       ~/.local/share/kelvane)\n"
    "  --repeat K           with --test, K tests in a row (1 to 100), their spread on stdout\n"
    "  --quick              with --test, no climb and no score: the steady figure alone,\n"
    "                       from grids measured around 10 frames a second (under a minute)\n"
    "  --compare A B        no window: compare two result files (JSON) step by step\n"
    "  --plot FILE          with --compare, draw both results (FILE.svg or a PNG)\n"
    "  --history            list the runs recorded on this machine, oldest first\n"
    "  --history --plot FILE       draw the scores and steady figures over time\n"
    "  --history --export ID FILE  write run ID of the history as a result file\n"
    "  --history --import FILE...  add the runs of result files to the history\n"
    "                       --compare takes @ID, @last and @last~N (N runs before the\n"
    "                       last, pairs not counted) for runs of the history wherever\n"
    "                       it takes a file\n"
    "  --pair A B           is B faster than A? Two settings (A, B) of this program take\n"
    "                       turns rendering one grid, offscreen, until the paired turns\n"
    "                       give B's throughput over A's to --precision; a side is\n"
    "                       NAME=VALUE environment assignments and --device N, e.g.\n"
    "                       --pair '' 'GALLIUM_DRIVER=zink' or --pair - 'mesa_glthread=true'\n"
    "  --precision P        with --pair, the 95 % interval to reach, in percent (default 1)\n"
    "  --time-limit S       with --pair, the seconds allowed in all (default 120, at\n"
    "                       least 30)\n"
    "  --window             with --pair, each side full screen in a window of its own,\n"
    "                       not offscreen: at the display's size, which the result records\n"
    "  --fail-if-slower P   with --compare or --pair, a gate for CI: end with 8 when B is\n"
    "                       slower than A by more than P %, beyond the uncertainties, and\n"
    "                       with 9 when there is nothing to judge (no steady figures or\n"
    "                       verdict, or all runs disturbed)\n"
    "  -h, --help           print this help and end\n"
    "  -V, --version        print the version and end\n"
    "\n"
    "Exit status: 0 a test reached its score (--quick: was measured), a comparison was\n"
    "printed or validation passed, 1 the window was closed (no --test), 2 bad command\n"
    "line, results folder or result file, 3 the test was aborted, 4 the scene could not\n"
    "be built (or the validation frames not drawn, so nothing was validated), 5\n"
    "validation failed, 6 a side of a pair could not start, died or hung (nothing\n"
    "written), 7 a pair's verdict was said but its result could not be written, 8 and 9\n"
    "as --fail-if-slower says. A pair ends with 0 once judged, whatever its verdict\n"
    "(without the gate), and with 3 when interrupted.\n";

void PrintUsage(FILE *f) {
    fputs(kUsage, f);
}

bool Unattended(void) {
    return commandLine.test || commandLine.validate || commandLine.offscreen;
}

// The options' own codes, beyond the single letters; later options take the next ones.
enum {
    kOptTest = 256,
    kOptOffscreen,
    kOptDevice,
    kOptResults,
    kOptValidate,
    kOptRepeat,
    kOptCompare,
    kOptPlot,
    kOptHistory,
    kOptExport,
    kOptImport,
    kOptQuick,
    kOptPair,
    kOptPrecision,
    kOptTimeLimit,
    kOptWindow,
    kOptPairSide,
    kOptListDevices,
    kOptFailIfSlower,
};

static const option kOptions[] = {
    {"test", no_argument, nullptr, kOptTest},
    {"offscreen", optional_argument, nullptr, kOptOffscreen},
    {"device", required_argument, nullptr, kOptDevice},
    {"results", required_argument, nullptr, kOptResults},
    {"validate", no_argument, nullptr, kOptValidate},
    {"repeat", required_argument, nullptr, kOptRepeat},
    {"compare", required_argument, nullptr, kOptCompare},
    {"plot", required_argument, nullptr, kOptPlot},
    {"history", no_argument, nullptr, kOptHistory},
    {"export", required_argument, nullptr, kOptExport},
    {"import", no_argument, nullptr, kOptImport},
    {"quick", no_argument, nullptr, kOptQuick},
    {"pair", required_argument, nullptr, kOptPair},
    {"precision", required_argument, nullptr, kOptPrecision},
    {"time-limit", required_argument, nullptr, kOptTimeLimit},
    {"window", no_argument, nullptr, kOptWindow},
    {"pair-side", no_argument, nullptr, kOptPairSide},
    {"list-devices", no_argument, nullptr, kOptListDevices},
    {"fail-if-slower", required_argument, nullptr, kOptFailIfSlower},
    {"help", no_argument, nullptr, 'h'},
    {"version", no_argument, nullptr, 'V'},
    {nullptr, 0, nullptr, 0},
};

// A whole decimal number from lo to hi; nothing else (no sign, blanks or trailing text).
static bool ParseNumber(const char *s, long lo, long hi, long *value) {
    if (!s || *s < '0' || *s > '9') return false;
    char *end = nullptr;
    long n = strtol(s, &end, 10);
    if (*end || n < lo || n > hi) return false;
    *value = n;
    return true;
}

// A decimal number from lo to hi, fractions allowed; nothing else.
static bool ParseDecimal(const char *s, double lo, double hi, double *value) {
    if (!s || !((*s >= '0' && *s <= '9') || *s == '.')) return false;
    char *end = nullptr;
    double v = strtod(s, &end);
    if (*end || !(v >= lo && v <= hi)) return false;
    *value = v;
    return true;
}

// "WxH", each side from 1 to kMaxSurfaceSide.
static bool ParseSize(const char *s, int *width, int *height) {
    const char *x = strchr(s, 'x');
    if (!x || x - s > 8) return false;
    char w[9];
    memcpy(w, s, (size_t)(x - s));
    w[x - s] = 0;
    long wv, hv;
    if (!ParseNumber(w, 1, kMaxSurfaceSide, &wv) || !ParseNumber(x + 1, 1, kMaxSurfaceSide, &hv))
        return false;
    *width = (int)wv;
    *height = (int)hv;
    return true;
}

// The reason alone, and where the options are told: the whole usage would bury the reason.
static int Refuse(FILE *err, int *status, const char *what, const char *value) {
    fprintf(err, "kelvane: %s%s%s\n", what, value ? ": " : "", value ? value : "");
    fputs("Try 'kelvane --help' for the options.\n", err);
    *status = kExitUsage;
    return 0;
}

// Edits (a letter added, dropped, changed, or two swapped) from a to b.
static int Edits(const std::string &a, const std::string &b) {
    std::vector<std::vector<int>> d(a.size() + 1, std::vector<int>(b.size() + 1));
    for (size_t i = 0; i <= a.size(); i++)
        for (size_t j = 0; j <= b.size(); j++) {
            if (!i || !j) {
                d[i][j] = (int)(i + j);
                continue;
            }
            d[i][j] = std::min(
                {d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + (a[i - 1] != b[j - 1])});
            if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1])
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
        }
    return d[a.size()][b.size()];
}

static const char *NearestOption(const char *given) {
    const char *best = nullptr;
    int bestEdits = 3; // more edits than two read as another word, not a slip
    std::string name(given, strcspn(given, "="));
    for (const option *o = kOptions; o->name; o++) {
        if (o->val == kOptPairSide) continue; // the pair's own, never typed
        int e = Edits(name, o->name);
        if (e < bestEdits && e < (int)name.size()) best = o->name, bestEdits = e;
    }
    return best;
}

// What getopt could not take: the word named, and the option meant where one is near.
static int RefuseOption(int code, const char *word, FILE *err, int *status) {
    char what[160];
    const char *name = word && !strncmp(word, "--", 2) ? word + 2 : nullptr;
    bool longValue = optopt >= kOptTest || ((optopt == 'h' || optopt == 'V') && name);
    if (code == ':' || longValue) {
        const option *o = kOptions;
        while (o->name && o->val != optopt)
            o++;
        snprintf(what, sizeof what, "--%s %s", o->name ? o->name : "?",
                 code == ':' ? "wants a value" : "takes no value");
        return Refuse(err, status, what, nullptr);
    }
    if (optopt || !name) {
        snprintf(what, sizeof what, "unknown option -%c", optopt ? optopt : '?');
        return Refuse(err, status, what, nullptr);
    }
    // getopt takes a word's unambiguous beginning ("--tes"): one that begins several is
    // refused with them.
    int len = (int)strcspn(name, "=");
    std::string begun;
    for (const option *o = kOptions; o->name; o++)
        if (o->val != kOptPairSide && !strncmp(o->name, name, (size_t)len))
            begun += std::string(begun.empty() ? "" : ", ") + "--" + o->name;
    const char *near = NearestOption(name);
    if (begun.find(',') != std::string::npos)
        snprintf(what, sizeof what, "ambiguous option --%.*s: %s", len, name, begun.c_str());
    else if (near)
        snprintf(what, sizeof what, "unknown option --%.*s (did you mean --%s?)", len, name, near);
    else
        snprintf(what, sizeof what, "unknown option --%.*s", len, name);
    return Refuse(err, status, what, nullptr);
}

static bool importAsked; // --import: the files are what is left of the command line
static bool precisionAsked, timeLimitAsked;

// --pair's two settings may look like options ("--device 1"): they are taken out of the
// command line, with the option, before getopt reads the rest into *rest.
static int TakePairSides(int argc, char **argv, std::vector<char *> *rest, FILE *err, int *status) {
    rest->assign(argv, argv + argc);
    for (int i = 1; i < (int)rest->size(); i++) {
        const char *a = (*rest)[i];
        if (!strcmp(a, "--")) break;
        bool joined = !strncmp(a, "--pair=", 7);
        if (strcmp(a, "--pair") && !joined) continue;
        int take = joined ? 1 : 2;
        if (i + take >= (int)rest->size() || commandLine.pair[0])
            return Refuse(err, status,
                          commandLine.pair[0] ? "--pair given twice"
                                              : "--pair wants two settings, A and B ('' or - for "
                                                "the program as it is)",
                          nullptr);
        commandLine.pair[0] = joined ? a + 7 : (*rest)[i + 1];
        commandLine.pair[1] = (*rest)[i + take];
        rest->erase(rest->begin() + i, rest->begin() + i + take + 1);
        i--;
    }
    rest->push_back(nullptr);
    return 1;
}

// --pair and its options; 1 when they agree with the rest.
static int CheckPairOptions(FILE *err, int *status) {
    const CommandLine &c = commandLine;
    if (!c.pair[0]) {
        if (precisionAsked || timeLimitAsked || c.window)
            return Refuse(err, status, "--precision, --time-limit and --window need --pair",
                          nullptr);
        if (c.pairSide && !c.test)
            return Refuse(err, status, "--pair-side is the pair's own, with --test", nullptr);
        return 1;
    }
    if (c.test || c.validate || c.compare[0] || c.history || c.repeat > 1 || c.quick || c.pairSide)
        return Refuse(err, status,
                      "--pair runs its own turns: no --test, --validate, --compare, "
                      "--history, --repeat or --quick with it",
                      nullptr);
    if (c.device >= 0)
        return Refuse(err, status, "with --pair, --device goes in a side: --pair A '--device 1'",
                      nullptr);
    if (c.window && c.offscreen)
        return Refuse(err, status, "--window and --offscreen: give one of the two", nullptr);
    return 1;
}

// The options of repeated tests and of comparisons; 1 to go on, 0 to end with *status.
static int TakeResultOption(int code, FILE *err, int *status) {
    long n = 0;
    if (code == kOptRepeat) {
        if (!ParseNumber(optarg, 1, kMaxRepeat, &n))
            return Refuse(err, status, "--repeat wants a number of tests from 1 to 100", optarg);
        commandLine.repeat = (int)n;
    } else if (code == kOptCompare) {
        commandLine.compare[0] = optarg;
    } else if (code == kOptHistory) {
        commandLine.history = true;
    } else if (code == kOptExport) {
        commandLine.exportRun = optarg;
    } else if (code == kOptImport) {
        importAsked = true;
    } else {
        commandLine.plot = optarg;
    }
    return 1;
}

// The history's options: one of --plot, --export and --import at most, each only with it.
static int CheckHistoryOptions(int argc, char **argv, FILE *err, int *status) {
    if (commandLine.exportRun && optind < argc) commandLine.exportFile = argv[optind++];
    if (commandLine.exportRun && !commandLine.exportFile)
        return Refuse(err, status, "--export wants a run and a file", nullptr);
    if (importAsked) {
        commandLine.imports = argv + optind;
        commandLine.importCount = argc - optind;
        optind = argc;
        if (!commandLine.importCount)
            return Refuse(err, status, "--import wants result files", nullptr);
    }
    if (commandLine.plot && !commandLine.history && !commandLine.compare[0])
        return Refuse(err, status, "--plot needs --compare or --history", nullptr);
    if ((commandLine.exportRun || commandLine.imports) && !commandLine.history)
        return Refuse(err, status, "--export and --import need --history", nullptr);
    if ((commandLine.exportRun != nullptr) + (commandLine.imports != nullptr) +
            (commandLine.plot != nullptr) >
        1)
        return Refuse(err, status, "--history takes one of --plot, --export and --import", nullptr);
    if (commandLine.history && (commandLine.test || commandLine.validate || commandLine.offscreen ||
                                commandLine.compare[0]))
        return Refuse(err, status, "--history runs no test and compares nothing", nullptr);
    return 1;
}

// The second file of --compare: getopt has moved it behind the options. 1 when the
// options that need another agree.
static int CheckResultOptions(int argc, char **argv, FILE *err, int *status) {
    if (commandLine.compare[0] && optind < argc) commandLine.compare[1] = argv[optind++];
    if (commandLine.compare[0] && !commandLine.compare[1])
        return Refuse(err, status, "--compare wants two result files", nullptr);
    if (commandLine.compare[0] &&
        (commandLine.test || commandLine.validate || commandLine.offscreen))
        return Refuse(err, status, "--compare runs no test", nullptr);
    if (!CheckHistoryOptions(argc, argv, err, status)) return 0;
    if (commandLine.repeat > 1 && !commandLine.test)
        return Refuse(err, status, "--repeat needs --test", nullptr);
    if (commandLine.quick && !commandLine.test)
        return Refuse(err, status, "--quick needs --test", nullptr);
    return 1;
}

// One option; 1 to go on, 0 to end with *status.
static int TakeOption(int code, FILE *out, FILE *err, int *status) {
    long n = 0;
    switch (code) {
    case kOptTest:
        commandLine.test = true;
        return 1;
    case kOptQuick:
        commandLine.quick = true;
        return 1;
    case kOptOffscreen:
        commandLine.offscreen = true;
        if (optarg && !ParseSize(optarg, &commandLine.offscreenWidth, &commandLine.offscreenHeight))
            return Refuse(err, status, "--offscreen wants WIDTHxHEIGHT, e.g. 1920x1080", optarg);
        return 1;
    case kOptDevice:
        if (!ParseNumber(optarg, 0, 1024, &n))
            return Refuse(err, status, "--device wants an EGL device number from 0", optarg);
        commandLine.device = (int)n;
        return 1;
    case kOptResults:
        commandLine.results = optarg;
        return 1;
    case kOptValidate:
        commandLine.validate = true;
        return 1;
    case kOptPair:
        return 1; // taken out of the command line before (TakePairSides)
    case kOptPrecision:
        if (!ParseDecimal(optarg, 0.05, 50, &commandLine.precision))
            return Refuse(err, status, "--precision wants a percentage from 0.05 to 50", optarg);
        commandLine.precision /= 100;
        precisionAsked = true;
        return 1;
    case kOptTimeLimit:
        // Under 30 s, too few rounds for a verdict.
        if (!ParseNumber(optarg, 30, 86400, &n))
            return Refuse(err, status, "--time-limit wants seconds from 30 to 86400", optarg);
        commandLine.timeLimit = (double)n;
        timeLimitAsked = true;
        return 1;
    case kOptWindow:
        commandLine.window = true;
        return 1;
    case kOptPairSide:
        commandLine.pairSide = true;
        return 1;
    case kOptListDevices:
        commandLine.listDevices = true;
        return 1;
    case kOptFailIfSlower:
        if (!ParseDecimal(optarg, 0, 100, &commandLine.failIfSlower))
            return Refuse(err, status, "--fail-if-slower wants a percentage from 0 to 100", optarg);
        commandLine.failIfSlower /= 100;
        return 1;
    case kOptRepeat:
    case kOptCompare:
    case kOptPlot:
    case kOptHistory:
    case kOptExport:
    case kOptImport:
        return TakeResultOption(code, err, status);
    case 'h':
        PrintUsage(out);
        *status = kExitScore;
        return 0;
    case 'V':
        fprintf(out, "kelvane %s\n", kVersion);
        *status = kExitScore;
        return 0;
    }
    return 0; // not reached: getopt's refusals are taken in ParseCommandLine
}

int ParseCommandLine(int argc, char **argv, FILE *out, FILE *err, int *status) {
    commandLine = CommandLine{};
    commandLine.offscreenWidth = kDefaultOffscreenWidth;
    commandLine.offscreenHeight = kDefaultOffscreenHeight;
    commandLine.device = -1;
    commandLine.failIfSlower = -1;
    commandLine.repeat = 1;
    commandLine.precision = kDefaultPairPrecision;
    commandLine.timeLimit = kDefaultPairSeconds;
    importAsked = precisionAsked = timeLimitAsked = false;
    *status = kExitScore;

    // Kept: --import's files point into it.
    static std::vector<char *> args;
    if (!TakePairSides(argc, argv, &args, err, status)) return 0;
    argc = (int)args.size() - 1;
    argv = args.data();
    optind = 0; // a fresh scan, as if the first: the parser may run more than once
    opterr = 0; // the reason is said below, in our words
    int code;
    while ((code = getopt_long(argc, argv, ":hV", kOptions, nullptr)) != -1) {
        if (code == '?' || code == ':') return RefuseOption(code, argv[optind - 1], err, status);
        if (!TakeOption(code, out, err, status)) return 0;
    }
    if (!CheckResultOptions(argc, argv, err, status)) return 0;
    if (!CheckPairOptions(err, status)) return 0;
    if (optind < argc) return Refuse(err, status, "unexpected argument", argv[optind]);
    if (commandLine.failIfSlower >= 0 && !commandLine.compare[0] && !commandLine.pair[0])
        return Refuse(err, status, "--fail-if-slower needs --compare or --pair", nullptr);
    if (commandLine.listDevices && (argc > 2 || commandLine.pair[0]))
        return Refuse(err, status, "--list-devices takes no other option", nullptr);
    if (commandLine.device >= 0 && !commandLine.offscreen)
        return Refuse(err, status, "--device needs --offscreen", nullptr);
    // Nothing could ever end a run that nobody sees and that runs no test.
    if (commandLine.offscreen && !commandLine.test && !commandLine.validate && !commandLine.pair[0])
        return Refuse(err, status, "--offscreen needs --test or --validate", nullptr);
    // A test validates before it starts anyway; asking for both would be asking twice.
    if (commandLine.test && commandLine.validate)
        return Refuse(err, status, "--test validates by itself; give one of the two", nullptr);

    // Made and announced only for what writes there.
    if (commandLine.results &&
        (commandLine.compare[0] || commandLine.history || commandLine.listDevices))
        return Refuse(err, status,
                      "--results is where tests and pairs write: --compare, --history and "
                      "--list-devices write nothing there",
                      nullptr);
    // A missing one is made once the run can start (MakePendingResultsFolder).
    char why[160];
    bool pending = false;
    if (commandLine.results && !SetResultsFolder(commandLine.results, why, sizeof why, &pending)) {
        fprintf(err, "kelvane: results folder %s: %s\n", commandLine.results, why);
        *status = kExitUsage;
        return 0;
    }
    return 1;
}
