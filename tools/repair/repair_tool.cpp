#include "tools/repair/repair_tool.h"

#include <cinttypes>

#include "avi/avi_reader.h"
#include "avi/avi_repair.h"

namespace repair {

Arguments ParseArguments(const std::vector<std::string>& args) {
    Arguments a;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h" || arg == "/?") {
            a.status = Arguments::Status::kHelp;
            return a;
        }
        if (arg == "--like" || arg == "--format") {
            if (i + 1 >= args.size()) {
                a.error = arg + " needs a value";
                return a;
            }
            if (a.like || a.format) {
                a.error = "give --like or --format once";
                return a;
            }
            (arg == "--like" ? a.like : a.format) = args[++i];
        } else if (arg == "--dry-run") {
            a.dry_run = true;
        } else if (arg.size() > 1 && arg[0] == '-' && arg[1] == '-') {
            a.error = "unknown option " + arg;
            return a;
        } else {
            a.files.push_back(arg);
        }
    }
    if (a.files.empty()) {
        a.error = "no file given";
        return a;
    }
    if (a.format && !avi::ParseFormatText(*a.format)) {
        a.error = "--format wants WxH,BITS,FPS with BITS 24 or 32, e.g. 1280x720,32,30";
        return a;
    }
    a.status = Arguments::Status::kRun;
    return a;
}

namespace {

bool Fixable(avi::RepairOutcome outcome) {
    return outcome == avi::RepairOutcome::kAlreadyWhole ||
           outcome == avi::RepairOutcome::kRepaired || outcome == avi::RepairOutcome::kNoFrames;
}

}  // namespace

int Run(const Arguments& arguments, const Files& files, std::FILE* out, std::FILE* err) {
    avi::RepairOptions options;
    options.dry_run = arguments.dry_run;
    if (arguments.format) {
        options.formats = avi::StreamFormats{*avi::ParseFormatText(*arguments.format), {}};
    } else if (arguments.like) {
        std::unique_ptr<avi::RandomAccessFile> other = files.open(*arguments.like, false);
        if (other)
            options.formats = avi::FormatsOf(*other);
        if (!options.formats) {
            std::fprintf(err, "vistrel-repair: %s has no stream format to go by\n",
                         arguments.like->c_str());
            return 2;
        }
    }
    int code = 0;
    for (const std::string& path : arguments.files) {
        std::unique_ptr<avi::RandomAccessFile> file = files.open(path, !arguments.dry_run);
        if (!file) {
            std::fprintf(out, "%s: not repairable: cannot open it\n", path.c_str());
            code = 1;
            continue;
        }
        avi::RepairReport report = avi::Repair(*file, options);
        file.reset();
        const char* would = arguments.dry_run ? "would be " : "";
        switch (report.outcome) {
            case avi::RepairOutcome::kAlreadyWhole:
                std::fprintf(out, "%s: already whole: %" PRIu64 " frames\n", path.c_str(),
                             report.frames);
                break;
            case avi::RepairOutcome::kRepaired:
                std::fprintf(out,
                             "%s: %srepaired: %" PRIu64 " frames kept, %" PRIu64 " bytes cut%s\n",
                             path.c_str(), would, report.frames, report.bytes_cut,
                             report.header_rebuilt ? ", header rebuilt" : "");
                break;
            case avi::RepairOutcome::kNoFrames:
                if (!arguments.dry_run && !files.remove(path)) {
                    std::fprintf(out, "%s: no complete frame, and it cannot be deleted\n",
                                 path.c_str());
                    code = 1;
                } else {
                    std::fprintf(out, "%s: no complete frame: %sdeleted\n", path.c_str(), would);
                }
                break;
            default:
                std::fprintf(out, "%s: not repairable: %s\n", path.c_str(),
                             avi::OutcomeText(report.outcome));
                break;
        }
        if (!Fixable(report.outcome))
            code = 1;
    }
    return code;
}

}  // namespace repair
