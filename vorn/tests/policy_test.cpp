// The picture policy table (tests/policy/cases.tsv) run against vorn: every case's input is
// read as the policy says, which the coded bytes show.
#include <fstream>
#include <sstream>

#include "policy_pictures.h"
#include "vorn_fixture.h"

namespace {

namespace fs = std::filesystem;

struct policy_case {
    std::string name, command, input, hidden1, expect, expected, message;
};

std::vector<policy_case> read_cases()
{
    std::ifstream table(VORN_POLICY_CASES);
    std::vector<policy_case> cases;
    for (std::string line; std::getline(table, line);) {
        if (line.empty() || line[0] == '#') continue;
        std::istringstream fields(line);
        policy_case c;
        std::getline(fields, c.name, '\t');
        std::getline(fields, c.command, '\t');
        std::getline(fields, c.input, '\t');
        std::getline(fields, c.hidden1, '\t');
        std::getline(fields, c.expect, '\t');
        std::getline(fields, c.expected, '\t');
        std::getline(fields, c.message, '\t');
        cases.push_back(c);
    }
    return cases;
}

double mean_difference(const bytes& a, const bytes& b, size_t from)
{
    double sum = 0;
    for (size_t i = from; i < a.size(); ++i) sum += std::abs(int(a[i]) - int(b[i]));
    return a.size() > from ? sum / double(a.size() - from) : 0;
}

using picture_policy = vorn_test;  // in a fresh folder of its own

TEST_F(picture_policy, every_case_of_the_table_reads_as_the_policy_says)
{
    const fs::path folder = fs::current_path() / "policy";
    write_policy_pictures(folder);
    const std::vector<policy_case> cases = read_cases();
    ASSERT_EQ(cases.size(), 24u);
    for (const policy_case& c : cases) {
        SCOPED_TRACE(c.name);
        // "encode --fit MODE": the words after the command are its options; files are the folder's.
        std::istringstream words(c.command);
        std::string command;
        words >> command;
        // The table's encode cases are the classic form's (the compact form has tests of its own).
        std::vector<std::string> args{command, (folder / c.input).string()};
        if (command == "encode") args.push_back("--classic");
        for (std::string word; words >> word;)
            args.push_back(word.find('.') != std::string::npos ? (folder / word).string() : word);
        const fs::path out = command == "decode" ? folder / c.name : folder / (c.name + ".out.bmp");
        args.insert(args.end(), {"-o", out.string()});
        if (c.hidden1 != "-") args.insert(args.begin() + 2, {"--hidden1", (folder / c.hidden1).string()});
        const size_t options_from = c.hidden1 != "-" ? 4 : 2;
        const vorn_run run = run_vorn(args);
        if (c.expect == "refused") {
            EXPECT_NE(run.code, 0);
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
            continue;
        }
        ASSERT_EQ(run.code, 0) << run.err;
        const bytes expected = read_bytes(folder / c.expected);
        if (command == "decode") {
            EXPECT_EQ(read_bytes(out / "hidden-1.png"), expected);
        } else if (c.expect == "opens") {
            std::vector<std::string> open{"decode", out.string(), "-o", (folder / (c.name + ".opened")).string()};
            // The password option, without --classic.
            for (auto word = args.begin() + long(options_from); word != args.end() - 2; ++word)
                if (*word != "--classic") open.push_back(*word);
            const vorn_run opened = run_vorn(open);
            ASSERT_EQ(opened.code, 0) << opened.err;
            EXPECT_EQ(read_bytes(folder / (c.name + ".opened") / "hidden-1.png"), expected);
        } else if (c.expect == "same") {
            EXPECT_EQ(read_bytes(out), expected);
        } else {
            const bytes got = read_bytes(out);
            ASSERT_EQ(c.expect.rfind("near ", 0), 0u);
            ASSERT_EQ(got.size(), expected.size());
            EXPECT_TRUE(std::equal(got.begin(), got.begin() + 54, expected.begin()));
            EXPECT_LE(mean_difference(got, expected, 54), std::stod(c.expect.substr(5)));
        }
    }
}

}  // namespace
