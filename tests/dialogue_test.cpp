// Drives the built program as a user or another program would: through its standard streams.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using clock_type = std::chrono::steady_clock;

const std::string next_prompt = " Zadejte dalsi ID:\n ";

std::string read_file(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

// The expected texts come from the transcripts, which are checked byte for byte on their own.
std::string transcript_output(const std::string& name) {
    return read_file(std::string(TRANSCRIPT_DIR) + "/" + name + ".out");
}

const std::string& banner() {
    static const std::string text = transcript_output("quit_first");
    return text;
}

// What the program answers to the catalogue's first ID, prompt included.
std::string first_puzzle_answer() {
    return transcript_output("every_puzzle").substr(banner().size(), 207 + next_prompt.size());
}

std::string list_answer() { return transcript_output("id_list").substr(banner().size()); }

struct pipe_ends {
    int read = -1;
    int write = -1;
};

pipe_ends make_pipe() {
    std::array<int, 2> ends{};
    EXPECT_EQ(pipe2(ends.data(), O_CLOEXEC), 0);
    return {ends[0], ends[1]};
}

void close_fd(int& fd) {
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// The program running with the given descriptors as its standard streams.
pid_t start_program(int in, int out, int err) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, in, STDIN_FILENO);
    posix_spawn_file_actions_adddup2(&actions, out, STDOUT_FILENO);
    posix_spawn_file_actions_adddup2(&actions, err, STDERR_FILENO);
    std::array<char*, 2> argv{const_cast<char*>(SUDOKU_PROGRAM), nullptr};
    pid_t pid = -1;
    EXPECT_EQ(posix_spawn(&pid, SUDOKU_PROGRAM, &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    return pid;
}

// The wait status of the program, or nothing if it has not ended by the deadline (it is then
// killed, so that a hanging program fails the test instead of stalling it).
std::optional<int> wait_for_exit(pid_t pid, clock_type::time_point deadline) {
    int status = 0;
    while (waitpid(pid, &status, WNOHANG) == 0) {
        if (clock_type::now() > deadline) {
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            return std::nullopt;
        }
        std::this_thread::sleep_for(1ms);
    }
    return status;
}

// Reads from the descriptors until both are at their end or the deadline passes.
void read_until_end(std::array<int, 2> fds, std::array<std::string*, 2> into,
                    clock_type::time_point deadline) {
    std::array<char, 65536> chunk{};
    while (fds[0] >= 0 || fds[1] >= 0) {
        std::array<pollfd, 2> polled{{{fds[0], POLLIN, 0}, {fds[1], POLLIN, 0}}};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_type::now());
        if (left <= 0ms ||
            poll(polled.data(), polled.size(), static_cast<int>(left.count())) <= 0) {
            return;
        }
        for (std::size_t i = 0; i < fds.size(); ++i) {
            if (fds[i] >= 0 && polled[i].revents != 0) {
                const ssize_t count = read(fds[i], chunk.data(), chunk.size());
                if (count <= 0) {
                    close_fd(fds[i]);
                } else {
                    into[i]->append(chunk.data(), static_cast<std::size_t>(count));
                }
            }
        }
    }
}

struct run_result {
    std::string output;
    std::string errors;
    std::optional<int> status;  // nothing when the program did not end by itself
};

// Runs the program on the whole input, given as a file, as a shell redirection would.
run_result run_program(std::string_view input, std::chrono::seconds limit = 20s) {
    std::FILE* input_file = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), input_file);
    std::fflush(input_file);
    lseek(fileno(input_file), 0, SEEK_SET);
    pipe_ends out = make_pipe();
    pipe_ends err = make_pipe();
    const pid_t pid = start_program(fileno(input_file), out.write, err.write);
    std::fclose(input_file);
    close_fd(out.write);
    close_fd(err.write);

    const auto deadline = clock_type::now() + limit;
    run_result result;
    read_until_end({out.read, err.read}, {&result.output, &result.errors}, deadline);
    close_fd(out.read);
    close_fd(err.read);
    result.status = wait_for_exit(pid, deadline);
    return result;
}

bool exited_with_zero(const std::optional<int>& status) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

// Reads exactly `size` bytes, or what came before the deadline.
std::string read_exactly(int fd, std::size_t size, std::chrono::milliseconds limit = 5s) {
    std::string text;
    const auto deadline = clock_type::now() + limit;
    std::array<char, 4096> chunk{};
    while (text.size() < size) {
        pollfd polled{fd, POLLIN, 0};
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock_type::now());
        if (left <= 0ms || poll(&polled, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        const ssize_t count = read(fd, chunk.data(), std::min(chunk.size(), size - text.size()));
        if (count <= 0) {
            break;
        }
        text.append(chunk.data(), static_cast<std::size_t>(count));
    }
    return text;
}

void send(int fd, std::string_view text) {
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

// A program talking to the dialogue through pipes: it reads every answer, prompt included,
// before it sends the next number, so each would time out if the program held it back.
TEST(dialogue, answers_each_number_before_the_next_is_sent) {
    pipe_ends in = make_pipe();
    pipe_ends out = make_pipe();
    pipe_ends err = make_pipe();
    const pid_t pid = start_program(in.read, out.write, err.write);
    close_fd(in.read);
    close_fd(out.write);
    close_fd(err.write);

    EXPECT_EQ(read_exactly(out.read, banner().size()), banner());
    send(in.write, "130206\n");
    EXPECT_EQ(read_exactly(out.read, first_puzzle_answer().size()), first_puzzle_answer());
    send(in.write, "2\n");
    EXPECT_EQ(read_exactly(out.read, list_answer().size()), list_answer());
    send(in.write, "99\n");
    EXPECT_EQ(read_exactly(out.read, next_prompt.size()), next_prompt);
    // A number or word that arrives in pieces is still read as one.
    send(in.write, "1302");
    std::this_thread::sleep_for(50ms);
    send(in.write, "06 ab");
    std::this_thread::sleep_for(50ms);
    send(in.write, "c1\n");
    EXPECT_EQ(read_exactly(out.read, first_puzzle_answer().size() + next_prompt.size()),
              first_puzzle_answer() + next_prompt);
    send(in.write, "1\n");

    std::string rest;
    std::string errors;
    read_until_end({out.read, err.read}, {&rest, &errors}, clock_type::now() + 5s);
    EXPECT_EQ(rest, "");
    EXPECT_EQ(errors, "");
    EXPECT_TRUE(exited_with_zero(wait_for_exit(pid, clock_type::now() + 5s)));
    close_fd(in.write);
    close_fd(out.read);
    close_fd(err.read);
}

// The program reads its input in large blocks; a number across the boundary of two blocks is
// still one number.
TEST(dialogue, reads_a_number_across_input_blocks) {
    for (const std::size_t blanks : {65530U, 65533U, 65535U, 65536U, 131069U}) {
        const run_result result = run_program(std::string(blanks, ' ') + "130206\n1\n");
        EXPECT_EQ(result.output, banner() + first_puzzle_answer()) << blanks << " blanks";
        EXPECT_TRUE(exited_with_zero(result.status));
    }
}

// Output that cannot be written must not end in a report of success, nor in a wait for input
// whose answers nobody would see.
TEST(dialogue, fails_when_its_output_cannot_be_written) {
    std::string many_ids;
    for (int i = 0; i < 20000; ++i) {
        many_ids += "130206\n";
    }
    struct failure_case {
        const char* name;
        std::string input;
        bool closed_pipe;  // otherwise standard output is /dev/full
    };
    const std::array<failure_case, 4> cases{{
        {"full device, one answer", "130206\n1\n", false},
        {"full device, many answers", many_ids + "1\n", false},
        {"full device, quit at once", "1\n", false},
        {"closed pipe, many answers", many_ids + "1\n", true},
    }};
    for (const failure_case& test : cases) {
        SCOPED_TRACE(test.name);
        std::FILE* input_file = std::tmpfile();
        std::fwrite(test.input.data(), 1, test.input.size(), input_file);
        std::fflush(input_file);
        lseek(fileno(input_file), 0, SEEK_SET);
        pipe_ends out = make_pipe();
        const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
        pipe_ends err = make_pipe();
        if (test.closed_pipe) {
            close_fd(out.read);
        }
        const pid_t pid =
            start_program(fileno(input_file), test.closed_pipe ? out.write : full, err.write);
        std::fclose(input_file);
        close_fd(out.write);
        close(full);
        close_fd(err.write);
        std::string errors;
        std::string ignored;
        read_until_end({err.read, -1}, {&errors, &ignored}, clock_type::now() + 20s);
        const std::optional<int> status = wait_for_exit(pid, clock_type::now() + 20s);
        ASSERT_TRUE(status.has_value()) << "did not end";
        EXPECT_FALSE(exited_with_zero(status));
        EXPECT_EQ(errors, "");
        close_fd(out.read);
        close_fd(err.read);
    }
}

TEST(dialogue, stops_waiting_for_input_once_its_output_has_failed) {
    pipe_ends in = make_pipe();  // stays open and silent
    pipe_ends err = make_pipe();
    const int full = open("/dev/full", O_WRONLY | O_CLOEXEC);
    const pid_t pid = start_program(in.read, full, err.write);
    close(full);
    close_fd(err.write);
    const std::optional<int> status = wait_for_exit(pid, clock_type::now() + 5s);
    ASSERT_TRUE(status.has_value()) << "still waiting for input";
    EXPECT_FALSE(exited_with_zero(status));
    close_fd(in.read);
    close_fd(in.write);
    close_fd(err.read);
}

// Splits the output after the banner into answers; false if anything else is in it.
bool consists_of_answers(std::string_view output, const std::vector<std::string>& answers) {
    if (!output.starts_with(banner())) {
        return false;
    }
    output.remove_prefix(banner().size());
    while (!output.empty()) {
        const auto match = std::find_if(answers.begin(), answers.end(), [&](const auto& answer) {
            return output.starts_with(answer);
        });
        if (match == answers.end()) {
            return false;
        }
        output.remove_prefix(match->size());
    }
    return true;
}

// Arbitrary bytes, biased towards what a reader of numbers may trip over.
std::string random_input(std::mt19937& random) {
    static const std::array<std::string_view, 16> pieces{
        "130206",     "140206", "170206",     "2",
        " ",          "\n",     "\r\n",       "\t",
        "+",          "-",      "0000000000", "99999999999999999999",
        "4294967297", "x",      "+-",         std::string_view("\0", 1)};
    std::string input;
    const auto length = std::uniform_int_distribution<int>(0, 60)(random);
    for (int i = 0; i < length; ++i) {
        switch (std::uniform_int_distribution<int>(0, 3)(random)) {
            case 0:  // any byte at all, high and control bytes included
                input += static_cast<char>(std::uniform_int_distribution<int>(0, 255)(random));
                break;
            case 1:
                input += static_cast<char>(std::uniform_int_distribution<int>('0', '9')(random));
                break;
            default:
                input += pieces[std::uniform_int_distribution<std::size_t>(0, 15)(random)];
                break;
        }
    }
    return input;
}

// Each seed is a test of its own, so that the runs spread over the machine's cores.
class arbitrary_input : public testing::TestWithParam<unsigned> {};

TEST_P(arbitrary_input, ends_by_itself_with_nothing_but_answers) {
    const std::string whole = transcript_output("every_puzzle").substr(banner().size());
    std::vector<std::string> answers{list_answer(), next_prompt};
    for (std::size_t start = 0; start < whole.size(); start += 207 + next_prompt.size()) {
        answers.push_back(whole.substr(start, 207 + next_prompt.size()));
    }
    std::mt19937 random(GetParam());
    for (int run = 0; run < 500; ++run) {
        const std::string input = random_input(random);
        const run_result result = run_program(input);
        ASSERT_TRUE(exited_with_zero(result.status)) << "run " << run << ", input: " << input;
        ASSERT_EQ(result.errors, "") << "run " << run;
        ASSERT_TRUE(consists_of_answers(result.output, answers)) << "run " << run;
    }
}

INSTANTIATE_TEST_SUITE_P(seeds, arbitrary_input,
                         testing::Values(110206U, 120206U, 130206U, 140206U));

}  // namespace
