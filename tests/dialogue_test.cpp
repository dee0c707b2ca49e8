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
#include <thread>
#include <vector>

extern char** environ;

namespace {

using namespace std::chrono_literals;
using clock_type = std::chrono::steady_clock;

const std::string next_prompt = " Zadejte dalsi ID:\n ";
constexpr std::size_t puzzle_answer_size = 207 + 20;  // the text form and the prompt
// Far more than any input here is answered with; a program that writes on and on stops there.
constexpr std::size_t output_limit = 16 << 20;

// The expected texts come from the transcripts, which are checked byte for byte on their own.
std::string transcript_output(const std::string& name) {
    std::ifstream file(std::string(TRANSCRIPT_DIR) + "/" + name + ".out", std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

const std::string banner = transcript_output("quit_first");
const std::string every_puzzle_answer = transcript_output("every_puzzle").substr(banner.size());
const std::string first_puzzle_answer = every_puzzle_answer.substr(0, puzzle_answer_size);
const std::string list_answer = transcript_output("id_list").substr(banner.size());

struct pipe_ends {
    int read = -1;
    int write = -1;
};

pipe_ends make_pipe() {
    std::array<int, 2> ends{};
    EXPECT_EQ(pipe2(ends.data(), O_CLOEXEC), 0);
    return {ends[0], ends[1]};
}

// Starts the program with the given descriptors as its standard streams, then closes them here.
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
    for (const int fd : {in, out, err}) {
        close(fd);
    }
    return pid;
}

// Reads until the end, `size` bytes or the deadline, whichever comes first, then closes.
std::string read_from(int fd, clock_type::time_point deadline, std::size_t size = output_limit) {
    std::string text;
    std::array<char, 65536> chunk{};
    while (text.size() < size) {
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(deadline - clock_type::now());
        pollfd polled{fd, POLLIN, 0};
        if (left <= 0ms || poll(&polled, 1, static_cast<int>(left.count())) <= 0) {
            break;
        }
        const ssize_t count = read(fd, chunk.data(), std::min(chunk.size(), size - text.size()));
        if (count <= 0) {
            break;
        }
        text.append(chunk.data(), static_cast<std::size_t>(count));
    }
    if (text.size() < size) {
        close(fd);
    }
    return text;
}

// The wait status, or nothing when the program had not ended by the deadline; it is then
// killed, so that a hanging program fails its test instead of stalling it.
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

bool exited_with_zero(const std::optional<int>& status) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

struct run_result {
    std::string output;
    std::string errors;
    std::optional<int> status;
};

// Runs the program on the whole input, given as a file, as a shell redirection would. Standard
// output goes to `output_fd` when one is given, and is collected otherwise.
run_result run_program(const std::string& input, int output_fd = -1) {
    std::FILE* input_file = std::tmpfile();
    std::fwrite(input.data(), 1, input.size(), input_file);
    std::fflush(input_file);
    const int in = dup(fileno(input_file));
    std::fclose(input_file);
    lseek(in, 0, SEEK_SET);
    const pipe_ends out = output_fd < 0 ? make_pipe() : pipe_ends{-1, output_fd};
    const pipe_ends err = make_pipe();
    const pid_t pid = start_program(in, out.write, err.write);

    const auto deadline = clock_type::now() + 20s;
    run_result result;
    if (out.read >= 0) {
        result.output = read_from(out.read, deadline);
    }
    result.errors = read_from(err.read, deadline);
    result.status = wait_for_exit(pid, deadline);
    return result;
}

void send(int fd, const std::string& text) {
    ASSERT_EQ(write(fd, text.data(), text.size()), static_cast<ssize_t>(text.size()));
}

// A program talking to the dialogue through pipes reads every answer, prompt included, before
// it sends the next number: an answer held back in a buffer would time out here.
TEST(dialogue, answers_each_number_before_the_next_is_sent) {
    const pipe_ends in = make_pipe();
    const pipe_ends out = make_pipe();
    const pipe_ends err = make_pipe();
    const pid_t pid = start_program(in.read, out.write, err.write);
    const auto read_answer = [&](std::size_t size) {
        return read_from(out.read, clock_type::now() + 5s, size);
    };

    EXPECT_EQ(read_answer(banner.size()), banner);
    send(in.write, "130206\n");
    EXPECT_EQ(read_answer(puzzle_answer_size), first_puzzle_answer);
    send(in.write, "2\n");
    EXPECT_EQ(read_answer(list_answer.size()), list_answer);
    send(in.write, "99\n");
    EXPECT_EQ(read_answer(next_prompt.size()), next_prompt);
    // A number or a word that arrives in pieces is still read as one.
    for (const std::string piece : {"1302", "06 ab", "c1\n"}) {
        send(in.write, piece);
        std::this_thread::sleep_for(50ms);
    }
    EXPECT_EQ(read_answer(puzzle_answer_size + next_prompt.size()),
              first_puzzle_answer + next_prompt);
    send(in.write, "1\n");

    EXPECT_EQ(read_answer(output_limit), "");
    EXPECT_EQ(read_from(err.read, clock_type::now() + 5s), "");
    EXPECT_TRUE(exited_with_zero(wait_for_exit(pid, clock_type::now() + 5s)));
    close(in.write);
}

// The input is read in blocks of 64 KiB; a number across two blocks is still one number.
TEST(dialogue, reads_a_number_across_input_blocks) {
    for (const std::size_t blanks : {65530U, 65533U, 65535U, 65536U, 131069U}) {
        const run_result result = run_program(std::string(blanks, ' ') + "130206\n1\n");
        EXPECT_EQ(result.output, banner + first_puzzle_answer) << blanks << " blanks";
        EXPECT_TRUE(exited_with_zero(result.status));
    }
}

// Output that cannot be written must not end in a report of success.
TEST(dialogue, fails_when_its_output_cannot_be_written) {
    std::string many_ids;
    for (int i = 0; i < 20000; ++i) {
        many_ids += "130206\n";
    }
    for (const std::string& input : std::vector<std::string>{"1\n", "130206\n1\n", many_ids}) {
        for (const bool closed_pipe : {false, true}) {
            SCOPED_TRACE((closed_pipe ? "closed pipe, input of " : "full device, input of ") +
                         std::to_string(input.size()) + " bytes");
            int out = -1;
            if (closed_pipe) {
                const pipe_ends pipe = make_pipe();
                close(pipe.read);
                out = pipe.write;
            } else {
                out = open("/dev/full", O_WRONLY | O_CLOEXEC);
            }
            const run_result result = run_program(input, out);
            ASSERT_TRUE(result.status.has_value()) << "did not end";
            EXPECT_FALSE(exited_with_zero(result.status));
            EXPECT_EQ(result.errors, "");
        }
    }
}

// Nobody would see the answers: the program must not sit waiting for more input.
TEST(dialogue, stops_waiting_for_input_once_its_output_has_failed) {
    const pipe_ends in = make_pipe();  // stays open and silent
    const pipe_ends err = make_pipe();
    const pid_t pid = start_program(in.read, open("/dev/full", O_WRONLY | O_CLOEXEC), err.write);
    const std::optional<int> status = wait_for_exit(pid, clock_type::now() + 5s);
    ASSERT_TRUE(status.has_value()) << "still waiting for input";
    EXPECT_FALSE(exited_with_zero(status));
    close(in.write);
    close(err.read);
}

// Whether the output is the banner followed by nothing but whole answers.
bool consists_of_answers(std::string_view output) {
    std::vector<std::string> answers{list_answer, next_prompt};
    for (std::size_t start = 0; start < every_puzzle_answer.size(); start += puzzle_answer_size) {
        answers.push_back(every_puzzle_answer.substr(start, puzzle_answer_size));
    }
    if (!output.starts_with(banner)) {
        return false;
    }
    output.remove_prefix(banner.size());
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

// Arbitrary bytes, with pieces that a reader of numbers may trip over mixed in.
std::string random_input(std::mt19937& random) {
    static const std::array<std::string, 16> pieces{
        "130206",     "140206", "170206",     "2",
        " ",          "\n",     "\r\n",       "\t",
        "+",          "-",      "0000000000", "99999999999999999999",
        "4294967297", "x",      "+-",         std::string(1, '\0')};
    const auto pick = [&](int low, int high) {
        return std::uniform_int_distribution<int>(low, high)(random);
    };
    std::string input;
    for (int length = pick(0, 60); length > 0; --length) {
        const int kind = pick(0, 3);
        if (kind == 0) {
            input += static_cast<char>(pick(0, 255));
        } else if (kind == 1) {
            input += static_cast<char>(pick('0', '9'));
        } else {
            input += pieces[static_cast<std::size_t>(pick(0, pieces.size() - 1))];
        }
    }
    return input;
}

// Each seed is a test of its own, so that the runs spread over the machine's cores.
class arbitrary_input : public testing::TestWithParam<unsigned> {};

TEST_P(arbitrary_input, ends_by_itself_with_nothing_but_answers) {
    std::mt19937 random(GetParam());
    for (int run = 0; run < 500; ++run) {
        const std::string input = random_input(random);
        const run_result result = run_program(input);
        ASSERT_TRUE(exited_with_zero(result.status)) << "run " << run << ", input: " << input;
        ASSERT_EQ(result.errors, "") << "run " << run;
        ASSERT_TRUE(consists_of_answers(result.output)) << "run " << run;
    }
}

INSTANTIATE_TEST_SUITE_P(seeds, arbitrary_input,
                         testing::Values(110206U, 120206U, 130206U, 140206U));

}  // namespace
