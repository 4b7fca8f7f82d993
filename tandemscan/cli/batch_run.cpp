#include "cli/batch_run.h"

#include "cli/batch_options.h"
#include "cli/batch_progress.h"
#include "cli/batch_report.h"
#include "engine/working_files.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <ostream>
#include <poll.h>
#include <pthread.h>
#include <sstream>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <system_error>
#include <unistd.h>

namespace tandemscan {

namespace fs = std::filesystem;

namespace {

constexpr const char* kProgram = "tandemscan-merge";

volatile std::sig_atomic_t stopSignal = 0;

extern "C" void requestStop(int signal) {
    stopSignal = signal;
}

// Ctrl+C and its kin stop the batch through the main loop instead of ending the process, for as
// long as the batch runs.
class StopRequests {
  public:
    StopRequests() {
        stopSignal = 0;
        struct sigaction action {};
        action.sa_handler = requestStop;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &action, &previous_[i]);
    }
    ~StopRequests() {
        for (std::size_t i = 0; i < std::size(kSignals); ++i)
            sigaction(kSignals[i], &previous_[i], nullptr);
    }
    StopRequests(const StopRequests&) = delete;
    StopRequests& operator=(const StopRequests&) = delete;

  private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
    struct sigaction previous_[std::size(kSignals)]{};
};

struct Batch {
    BatchOptions options;
    PairList list;

    fs::path partPath(const std::string& file) const {
        return file.empty() ? fs::path() : options.inputDir / file;
    }
    fs::path outputOf(const BatchPair& pair) const {
        const std::string extension = !options.format.empty() ? options.format
                                      : !pair.left.empty()    ? fs::path(pair.left).extension().string()
                                                              : fs::path(pair.right).extension().string();
        return options.outputDir / (pair.name + extension);
    }
    fs::path report() const { return options.outputDir / kReportFileName; }
};

PairResult resultOf(const Batch& batch, const BatchPair& pair) {
    PairResult result;
    result.name = pair.name;
    result.left = batch.partPath(pair.left).string();
    result.right = batch.partPath(pair.right).string();
    result.reason = pair.problem;
    return result;
}

// Joins one pair in this process, with the single join's own code and messages.
PairResult joinPair(const Batch& batch, const BatchPair& pair, const MergeEnvironment& env) {
    PairResult result = resultOf(batch, pair);
    if (!pair.problem.empty()) return result;
    const auto start = std::chrono::steady_clock::now();
    const std::string output = batch.outputOf(pair).string();
    std::vector<std::string> args = batch.options.joinArguments;
    args.insert(args.end(), {"--quiet", "-o", output, "--", result.left, result.right});
    std::ostringstream messages, ignored;
    MergeOutcome outcome;
    MergeEnvironment single = env;
    single.out = &ignored;
    single.err = &messages;
    single.showProgress = false;
    single.outcome = &outcome;
    const int status = runMerge(args, single);
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (status == exitSuccess) {
        result.status = PairStatus::joined;
        result.output = output;
        result.placement = outcome.placement;
        return result;
    }
    result.status = outcome.refused ? PairStatus::refused : PairStatus::failed;
    std::string reason = messages.str();
    reason = reason.substr(0, reason.find('\n'));
    const std::string prefix = std::string(kProgram) + ": ";
    result.reason = reason.starts_with(prefix) ? reason.substr(prefix.size()) : reason;
    return result;
}

bool record(const Batch& batch, const PairResult& result, std::ostream& err) {
    std::string why;
    if (appendReportLine(batch.report(), reportLine(result), why)) return true;
    err << kProgram << ": " << printable(batch.report().string() + ": " + why) << "\n";
    return false;
}

// --only NAME: one pair, for GNU parallel and job arrays. Its report line goes to the report and
// to standard output.
int runOne(const Batch& batch, const std::string& name, const MergeEnvironment& env) {
    const BatchPair* pair = nullptr;
    for (const BatchPair& p : batch.list.pairs)
        if (p.name == name || printable(p.name) == name) pair = &p;
    if (!pair) {
        *env.err << kProgram << ": " << printable(batch.options.inputDir.string() + ": no pair named " + name)
                 << "\n";
        return exitInput;
    }
    std::string why;
    const auto lock = PairLock::acquire(batch.options.outputDir, pair->name, why);
    if (!lock) {
        *env.err << kProgram << ": "
                 << printable((batch.options.outputDir / kPairLockFileName).string() + ": " + why) << "\n";
        return exitWrite;
    }
    if (pair->problem.empty() &&
        isUpToDate(batch.outputOf(*pair), batch.partPath(pair->left), batch.partPath(pair->right))) {
        if (!batch.options.quiet) *env.err << kProgram << ": " << printable(pair->name) << ": already done\n";
        return exitSuccess;
    }
    // From the moment the output is written until its line is in the report, a stop waits: a
    // pair joined but missing from the report would be skipped by the next run unreported. The
    // lock keeps a run that follows at once from joining the pair meanwhile.
    sigset_t stops;
    sigemptyset(&stops);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaddset(&stops, signal);
    MergeEnvironment job = env;
    job.beforeWrite = [&] { pthread_sigmask(SIG_BLOCK, &stops, nullptr); };
    const PairResult result = joinPair(batch, *pair, job);
    const bool recorded = record(batch, result, *env.err);
    if (recorded) *env.out << reportLine(result) << std::endl;
    pthread_sigmask(SIG_UNBLOCK, &stops, nullptr);
    if (!recorded) return exitWrite;
    if (!batch.options.quiet) *env.err << kProgram << ": " << pairLine(result) << "\n";
    return result.status == PairStatus::joined ? exitSuccess : exitNotAllJoined;
}

// A pair being joined by a child process: `tandemscan-merge --batch ... --only NAME`.
struct Job {
    pid_t pid = -1;
    FileHandle output; // the child's standard output and error
    std::string text;
    std::size_t pair = 0;
};

std::optional<Job> startJob(const Batch& batch, std::size_t index, const MergeEnvironment& env,
                            std::string& why) {
    std::vector<std::string> args = {env.programFile.string(),
                                     "--batch",
                                     batch.options.inputDir.string(),
                                     "-o",
                                     batch.options.outputDir.string(),
                                     "--quiet",
                                     "--only",
                                     batch.list.pairs[index].name};
    args.insert(args.end(), batch.options.pairArguments.begin(), batch.options.pairArguments.end());
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    FileHandle readEnd(ends[0]), writeEnd(ends[1]);
    const pid_t parent = ::getpid();
    const pid_t pid = ::fork();
    if (pid < 0) {
        why = std::strerror(errno);
        return std::nullopt;
    }
    if (pid == 0) {
        // A batch that is killed takes its jobs with it, so that no pair goes on being joined
        // while the same command continues the batch.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent) ::_exit(127);
        ::dup2(writeEnd.get(), STDOUT_FILENO);
        ::dup2(writeEnd.get(), STDERR_FILENO);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    Job job;
    job.pid = pid;
    job.output = std::move(readEnd);
    job.pair = index;
    return job;
}

// What a job that has ended did, from its report line or from how it ended.
PairResult finishJob(const Batch& batch, const Job& job, int waitStatus, bool& interrupted,
                     std::ostream& err) {
    std::istringstream lines(job.text);
    std::string line, diagnostics;
    std::optional<PairResult> result;
    while (std::getline(lines, line)) {
        if (!result && line.starts_with("{\"status\": "))
            result = parseReportLine(line);
        else if (!line.empty())
            diagnostics += line + "\n";
    }
    interrupted = false;
    if (result) {
        if (!diagnostics.empty()) err << diagnostics;
        return *result;
    }
    PairResult failed = resultOf(batch, batch.list.pairs[job.pair]);
    if (WIFSIGNALED(waitStatus) && stopSignal != 0) {
        interrupted = true;
        return failed;
    }
    std::ostringstream reason;
    if (WIFSIGNALED(waitStatus))
        reason << "the job ended with signal " << WTERMSIG(waitStatus);
    else
        reason << "the job ended with status " << WEXITSTATUS(waitStatus);
    if (!diagnostics.empty()) reason << ": " << diagnostics.substr(0, diagnostics.find('\n'));
    failed.reason = reason.str();
    record(batch, failed, err);
    return failed;
}

int runAll(const Batch& batch, const MergeEnvironment& env) {
    std::ostream& err = *env.err;
    const BatchOptions& options = batch.options;
    if (!batch.list.unmatched.empty()) {
        std::string names;
        for (std::size_t i = 0; i < batch.list.unmatched.size() && i < 3; ++i)
            names += (i ? ", " : "") + batch.list.unmatched[i];
        if (batch.list.unmatched.size() > 3)
            names += " and " + std::to_string(batch.list.unmatched.size() - 3) + " more";
        err << kProgram << ": " << printable("left out, as they pair by no rule: " + names) << "\n";
    }
    BatchProgress progress(err, env.showProgress && !options.quiet, !env.showProgress && !options.quiet,
                           batch.list.pairs.size());
    std::vector<std::size_t> toDo;
    for (std::size_t i = 0; i < batch.list.pairs.size(); ++i) {
        const BatchPair& pair = batch.list.pairs[i];
        if (!pair.problem.empty()) {
            const PairResult result = resultOf(batch, pair);
            if (!record(batch, result, err)) return exitWrite;
            progress.pairDone(result);
        } else if (isUpToDate(batch.outputOf(pair), batch.partPath(pair.left), batch.partPath(pair.right))) {
            progress.pairSkipped();
        } else {
            toDo.push_back(i);
        }
    }
    progress.started(toDo.size());

    const std::size_t jobs = static_cast<std::size_t>(options.jobs > 0 ? options.jobs : availableCores());
    StopRequests stopRequests;
    std::vector<Job> running;
    std::size_t next = 0;
    bool stopping = false;
    while (next < toDo.size() || !running.empty()) {
        while (stopSignal == 0 && next < toDo.size() && running.size() < jobs) {
            std::string why;
            auto job = startJob(batch, toDo[next], env, why);
            if (!job) {
                PairResult result = resultOf(batch, batch.list.pairs[toDo[next]]);
                result.reason = "cannot start a job: " + why;
                record(batch, result, err);
                progress.pairDone(result);
            } else {
                running.push_back(std::move(*job));
            }
            ++next;
        }
        if (stopSignal != 0 && !stopping) {
            // Running pairs are abandoned: each job removes its working files and its unfinished
            // output as it ends.
            stopping = true;
            next = toDo.size();
            for (const Job& job : running)
                ::kill(job.pid, SIGTERM);
        }
        progress.redraw(running.size());
        if (running.empty()) continue;
        std::vector<pollfd> fds;
        for (const Job& job : running)
            fds.push_back({job.output.get(), POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 250) <= 0) continue;
        for (std::size_t i = fds.size(); i-- > 0;) {
            if (fds[i].revents == 0) continue;
            Job& job = running[i];
            char buffer[4096];
            const ssize_t n = ::read(job.output.get(), buffer, sizeof buffer);
            if (n > 0) {
                job.text.append(buffer, static_cast<std::size_t>(n));
                continue;
            }
            if (n < 0 && errno == EINTR) continue;
            int status = 0;
            while (::waitpid(job.pid, &status, 0) < 0 && errno == EINTR) {
            }
            bool interrupted = false;
            const PairResult result = finishJob(batch, job, status, interrupted, err);
            if (interrupted)
                progress.pairAbandoned();
            else
                progress.pairDone(result);
            running.erase(running.begin() + static_cast<std::ptrdiff_t>(i));
        }
    }
    progress.summary(batch.report().string(), stopSignal != 0);
    if (stopSignal != 0) return exitInterruptedBase + stopSignal;
    return progress.allJoined() ? exitSuccess : exitNotAllJoined;
}

} // namespace

int runBatch(const std::vector<std::string>& args, const MergeEnvironment& env) {
    std::ostream& err = *env.err;
    std::string problem;
    auto options = parseBatchArguments(args, problem);
    if (!options) {
        err << kProgram << ": " << printable(problem) << "\n" << mergeUsage();
        return exitUsage;
    }
    Batch batch{std::move(*options), {}};
    std::vector<std::string> files;
    std::error_code error;
    for (fs::directory_iterator it(batch.options.inputDir, error), end; !error && it != end;
         it.increment(error))
        if (it->is_regular_file()) files.push_back(it->path().filename().string());
    if (error) {
        err << kProgram << ": " << printable(batch.options.inputDir.string() + ": " + error.message())
            << "\n";
        return exitInput;
    }
    batch.list = pairFiles(std::move(files), batch.options.rule);
    if (batch.list.pairs.empty()) {
        err << kProgram << ": "
            << printable(batch.options.inputDir.string() +
                         (batch.options.rule.consecutive ? ": holds no image files"
                                                         : ": holds no pairs of parts (such as NAME-left.jpg "
                                                           "with NAME-right.jpg)"))
            << "\n";
        return exitInput;
    }
    if (batch.options.list) {
        for (const BatchPair& pair : batch.list.pairs)
            *env.out << printable(pair.name) << "\n";
        env.out->flush();
        return exitSuccess;
    }
    fs::create_directories(batch.options.outputDir, error);
    if (error || ::access(batch.options.outputDir.c_str(), W_OK) != 0) {
        err << kProgram << ": "
            << printable(batch.options.outputDir.string() + ": " +
                         (error ? error.message() : std::string(std::strerror(errno))))
            << "\n";
        return exitWrite;
    }
    if (fs::equivalent(batch.options.inputDir, batch.options.outputDir, error)) {
        err << kProgram << ": give a folder for the joined images other than the folder of the parts\n";
        return exitUsage;
    }
    if (batch.options.only) return runOne(batch, *batch.options.only, env);
    return runAll(batch, env);
}

} // namespace tandemscan
