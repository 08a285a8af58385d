// Command lines against their exit code, their stderr and the bytes they write, with inputs in
// every format vorn reads made from the samples.
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <fstream>
#include <set>
#include <sstream>

#include "names.h"
#include "vorn_fixture.h"

namespace fs = std::filesystem;

namespace {

// `rgb` (width x height) resampled to `to_width` x `to_height` by bilinear interpolation, as an
// app that resizes a picture does.
bytes resized(const bytes& rgb, uint32_t width, uint32_t height, uint32_t to_width, uint32_t to_height)
{
    bytes out(size_t(to_width) * to_height * 3);
    for (uint32_t y = 0; y < to_height; ++y)
        for (uint32_t x = 0; x < to_width; ++x) {
            const double sx = (x + 0.5) * width / to_width - 0.5, sy = (y + 0.5) * height / to_height - 0.5;
            const uint32_t x0 = uint32_t(std::max(0.0, sx)), y0 = uint32_t(std::max(0.0, sy));
            const uint32_t x1 = std::min(x0 + 1, width - 1), y1 = std::min(y0 + 1, height - 1);
            const double fx = std::max(0.0, sx - x0), fy = std::max(0.0, sy - y0);
            for (int c = 0; c < 3; ++c) {
                const auto at = [&](uint32_t px, uint32_t py) { return double(rgb[(size_t(py) * width + px) * 3 + c]); };
                const double top = at(x0, y0) * (1 - fx) + at(x1, y0) * fx, bottom = at(x0, y1) * (1 - fx) + at(x1, y1) * fx;
                out[(size_t(y) * to_width + x) * 3 + c] = uint8_t(std::lround(top * (1 - fy) + bottom * fy));
            }
        }
    return out;
}

// The top left corner of `rgb` (`width` pixels wide), `w` x `h` pixels, as a BMP.
bytes corner_of(const bytes& rgb, uint32_t width, uint32_t w, uint32_t h)
{
    bytes corner;
    for (uint32_t y = 0; y < h; ++y)
        corner.insert(corner.end(), rgb.begin() + y * width * 3, rgb.begin() + y * width * 3 + w * 3);
    return bmp_of(corner, w, h);
}

// The inputs of the table, all made from the samples in the test's folder.
void make_inputs()
{
    const bytes main_bmp = read_bytes("Main.bmp"), h1 = read_bytes("Hidden 1.bmp"),
                h2 = read_bytes("Hidden 2.bmp");
    write_bytes("main.png", png_of(main_bmp, 2, 8));
    write_bytes("h1.png", png_of(h1, 2, 8));
    write_bytes("h2.png", png_of(h2, 2, 8));
    write_bytes("main.jpg", jpeg_of(main_bmp));
    write_bytes("huge.png", png_declaring(20000, 20000));
    write_bytes("huge.jpg", jpeg_declaring(jpeg_of(main_bmp), 20000, 20000));
    write_bytes("h1-32.bmp", bmp32_of(h1));
    write_bytes("h2-top.bmp", top_down_of(h2));
    write_bytes("h1-v5.bmp", v5_header_of(h1));
    write_bytes("h1-rgba.png", png_of(h1, 6, 8));
    write_bytes("h1-grey16.png", png_of(h1, 0, 16));
    write_bytes("small.png", png_of(corner_of(rgb_of(h1), 512, 64, 48), 2, 8));
    write_bytes("tiny8.png", png_of(corner_of(rgb_of(main_bmp), 512, 8, 8), 2, 8));
    write_bytes("tiny19.png", png_of(corner_of(rgb_of(main_bmp), 512, 19, 19), 2, 8));
    // A coded picture sent through an app that recompresses, resizes or crops it.
    ASSERT_EQ(run_vorn({"encode", "main.png", "--hidden1", "small.png", "-o", "sent.png"}).code, 0);
    const bytes sent = png_pixels(read_bytes("sent.png"));
    write_bytes("sent.jpg", jpeg_of(bmp_of(sent, 512, 512)));
    write_bytes("resized.png", png_of(bmp_of(resized(sent, 512, 512, 507, 507), 507, 507), 2, 8));
    ASSERT_EQ(run_vorn({"encode", "main.png", "--hidden1", "small.png", "--compact", "-o", "compact.png"}).code, 0);
    write_bytes("cropped.png", png_of(corner_of(png_pixels(read_bytes("compact.png")), 512, 500, 500), 2, 8));
    write_bytes("notes.txt", bytes{'h', 'i', '\n'});
    write_bytes("empty.png", bytes{});
    write_bytes("anim.gif", bytes{'G', 'I', 'F', '8', '9', 'a', 0, 0});
    bytes cut_png = read_bytes("main.png");
    cut_png.resize(cut_png.size() / 2);
    write_bytes("cut.png", cut_png);
    bytes eight_bit = read_bytes("Main.bmp");
    eight_bit[28] = 8;
    write_bytes("eight.bmp", eight_bit);
    write_bytes("exists.png", bytes{1});
    fs::create_directory("folder.png");
    mkfifo("pipe.png", 0600);
}

// The coder's Coded.bmp for these hidden pictures (empty: absent), from a folder of its own.
bytes coder_coded(const std::string& build, const bytes& hidden1, const bytes& hidden2)
{
    const fs::path folder = fs::current_path() / ("ref-" + build + std::to_string(hidden1.size()) +
                                                  std::to_string(hidden2.size()));
    fs::create_directory(folder);
    fs::copy_file("Main.bmp", folder / "Main.bmp");
    if (!hidden1.empty()) write_bytes(folder / "Hidden 1.bmp", hidden1);
    if (!hidden2.empty()) write_bytes(folder / "Hidden 2.bmp", hidden2);
    run_coder_in(folder, build);
    const bytes coded = read_bytes(folder / "Coded.bmp");
    fs::remove_all(folder);
    return coded;
}

std::set<std::string> listing()
{
    std::set<std::string> names;
    for (const auto& entry : fs::directory_iterator(".")) names.insert(entry.path().filename());
    return names;
}

struct row {
    std::vector<std::string> args;
    int code;
    std::string err;
    const char* output;     // the file written, or null
    const bytes* expected;  // its bytes (for a PNG: the pixels of this BMP)
};

using vorn_table_test = vorn_test;

std::string huge(const std::string& path, int allowed)
{
    return "vorn: " + path + ": the picture is 20000x20000 pixels (400 million), more than the " +
           std::to_string(allowed) + " million allowed; give --max-megapixels 400 to read it\n";
}

TEST_F(vorn_table_test, command_lines)
{
    make_inputs();
    const bytes h1 = read_bytes("Hidden 1.bmp"), h2 = read_bytes("Hidden 2.bmp");
    bytes grey = rgb_of(h1);
    for (size_t i = 0; i < grey.size(); i += 3) grey[i] = grey[i + 2] = grey[i + 1];
    const bytes both_v2 = coder_coded("vornhold2", h1, h2), both_v = coder_coded("vornhold", h1, h2),
                one = coder_coded("vornhold2", h1, {}),
                one_grey = coder_coded("vornhold2", bmp_of(grey, 512, 512), {}),
                none = coder_coded("vornhold2", {}, {});
    const std::string see_encode = " (see vorn encode --help)\n";
    const std::string sent_whole = "hidden pictures do not survive re-saving, resizing or sending through apps that "
                                   "recompress pictures; send the coded file itself (as a document)\n";
    const row rows[] = {
        // Exactness: BMP, PNG and other BMP layouts in, BMP or PNG out.
        {{"encode", "--classic", "Main.bmp", "--hidden1", "Hidden 1.bmp", "--hidden2", "Hidden 2.bmp", "-o", "a.bmp"}, 0, "vorn: to take them out: vorn decode a.bmp --hidden both --build vornhold2\n", "a.bmp", &both_v2},
        {{"encode", "--classic", "Main.bmp", "--hidden1=Hidden 1.bmp", "--hidden2=Hidden 2.bmp", "--build", "vornhold", "-ob.bmp"}, 0, "vorn: to take them out: vorn decode b.bmp --hidden both --build vornhold\n", "b.bmp", &both_v},
        {{"encode", "--classic", "main.png", "--hidden1", "h1.png", "--hidden2", "h2.png", "--output", "c.bmp"}, 0, "vorn: to take them out: vorn decode c.bmp --hidden both --build vornhold2\n", "c.bmp", &both_v2},
        {{"encode", "--classic", "Main.bmp", "--hidden1", "h1-32.bmp", "--hidden2", "h2-top.bmp", "-o", "d.bmp"}, 0, "vorn: to take them out: vorn decode d.bmp --hidden both --build vornhold2\n", "d.bmp", &both_v2},
        {{"encode", "--classic", "Main.bmp", "--hidden1", "h1-v5.bmp", "--hidden2", "Hidden 2.bmp", "-o", "e.png"}, 0, "vorn: to take them out: vorn decode e.png --hidden both --build vornhold2\n", "e.png", &both_v2},
        {{"encode", "--classic", "main.png", "--hidden1", "h1-rgba.png", "-o", "f.bmp"}, 0,
         "vorn: h1-rgba.png: its transparency is dropped; only the colours are used\nvorn: to take them out: vorn decode f.bmp --hidden 1\n", "f.bmp", &one},
        {{"encode", "--classic", "Main.bmp", "--hidden1", "h1-grey16.png", "-o", "g.bmp"}, 0, "vorn: to take them out: vorn decode g.bmp --hidden 1\n", "g.bmp", &one_grey},
        {{"encode", "--classic", "main.jpg", "--hidden1", "h1.png", "-o", "h.png"}, 0, "vorn: to take them out: vorn decode h.png --hidden 1\n", "h.png", nullptr},
        {{"encode", "--classic", "Main.bmp", "-o", "exists.png", "--force"}, 0, "", "exists.png", &none},
        // The command line.
        {{}, 2, "vorn: missing command: encode, decode or reveal (see vorn --help)\n", nullptr, nullptr},
        {{"hide"}, 2, "vorn: unknown command 'hide' (see vorn --help)\n", nullptr, nullptr},
        {{"encode", "--classic", "Main.bmp"}, 2, "vorn: missing -o OUT, the output picture (.png or .bmp)" + see_encode, nullptr, nullptr},
        {{"encode", "--classic", "-o", "x.png"}, 2, "vorn: missing the carrier picture" + see_encode, nullptr, nullptr},
        {{"encode", "--classic", "Main.bmp", "Hidden 1.bmp", "-o", "x.png"}, 2, "vorn: unexpected argument 'Hidden 1.bmp'" + see_encode, nullptr, nullptr},
        {{"encode", "--classic", "Main.bmp", "--hidden", "1", "-o", "x.png"}, 2, "vorn: unknown option '--hidden'" + see_encode, nullptr, nullptr},
        {{"encode", "--classic", "Main.bmp", "--build", "vornhold3", "-o", "x.png"}, 2,
         "vorn: --build takes vornhold2 or vornhold, not 'vornhold3'" + see_encode, nullptr, nullptr},
        {{"encode", "--classic", "Main.bmp", "--hidden1", "small.png", "--fit", "crop", "-o", "x.png"}, 2,
         "vorn: --fit takes contain, cover or stretch, not 'crop'" + see_encode, nullptr, nullptr},
        {{"encode", "--classic", "Main.bmp", "--raw", "-o", "x.png"}, 2, "vorn: unknown option '--raw'" + see_encode, nullptr, nullptr},
        {{"decode", "a.bmp", "--hidden", "3"}, 2, "vorn: --hidden takes 1, 2 or both, not '3' (see vorn decode --help)\n", nullptr, nullptr},
        {{"reveal", "a.bmp", "-o"}, 2, "vorn: -o needs a value (see vorn reveal --help)\n", nullptr, nullptr},
        {{"encode", "--classic", "Main.bmp", "-o", "x.jpg"}, 2,
         "vorn: x.jpg: .jpg would destroy the hidden bits (it compresses with loss or reduces the colours); name the output .png or .bmp\n", nullptr, nullptr},
        {{"encode", "--classic", "Main.bmp", "-o", "x"}, 2, "vorn: x: unknown output format; name the output .png or .bmp\n", nullptr, nullptr},
        // Inputs vorn cannot use.
        {{"encode", "--classic", "gone.png", "-o", "x.png"}, 3, "vorn: gone.png: cannot read it: no such file or directory\n", nullptr, nullptr},
        {{"encode", "--classic", "pipe.png", "-o", "x.png"}, 3, "vorn: pipe.png: cannot read it: it is not a regular file\n", nullptr, nullptr},
        {{"encode", "--classic", "folder.png", "-o", "x.png"}, 3, "vorn: folder.png: cannot read it: it is a directory\n", nullptr, nullptr},
        {{"reveal", "empty.png", "-o", "x.png"}, 3, "vorn: empty.png: the file is empty\n", nullptr, nullptr},
        {{"encode", "--classic", "notes.txt", "-o", "x.png"}, 3, "vorn: notes.txt: not a PNG, JPEG or BMP picture; convert it to PNG first\n", nullptr, nullptr},
        {{"encode", "--classic", "anim.gif", "-o", "x.png"}, 3, "vorn: anim.gif: a GIF picture, which vorn does not read; convert it to PNG first\n", nullptr, nullptr},
        {{"encode", "--classic", "cut.png", "-o", "x.png"}, 3, "", nullptr, nullptr},
        {{"encode", "--classic", "eight.bmp", "-o", "x.png"}, 3,
         "vorn: eight.bmp: the BMP has 8 bits per pixel; vorn reads 24- and 32-bit BMPs: save it with 24 bits per pixel or as a PNG first\n", nullptr, nullptr},
        {{"encode", "--classic", "Main.bmp", "--hidden1", "small.png", "-o", "fitted.png"}, 0,
         "vorn: hidden picture 1 scaled from 64x48 to 512x384 and centred\nvorn: to take them out: vorn decode fitted.png --hidden 1\n", "fitted.png", nullptr},
        {{"decode", "main.jpg"}, 3, "vorn: main.jpg: a JPEG cannot hold hidden bits (its compression changes the low bits), so this picture looks changed: " + sent_whole, nullptr, nullptr},
        // A coded picture re-saved as JPEG, resized by 1 % or cropped looks changed.
        {{"decode", "sent.jpg"}, 3, "vorn: sent.jpg: a JPEG cannot hold hidden bits (its compression changes the low bits), so this picture looks changed: " + sent_whole, nullptr, nullptr},
        {{"decode", "resized.png"}, 3, "vorn: resized.png: holds no hidden picture (its low bits read as one in no layout); to decode it all the same, name what it holds and its build (--hidden, --build); if it was a coded picture, it looks changed: " + sent_whole, nullptr, nullptr},
        {{"decode", "cropped.png"}, 3, "vorn: cropped.png: no hidden picture found without a password (its low bits look random, as a password-protected picture's do); if it was hidden with a password, give it (--password); if not, the picture looks changed: " + sent_whole, nullptr, nullptr},
        // A carrier too small is told the carrier that would take the picture.
        {{"encode", "tiny8.png", "--hidden1", "Hidden 1.bmp", "-o", "x.png"}, 3,
         "vorn: tiny8.png: too small to hide this picture (it is 8x8): at its smallest (64x64) and the lowest quality, it needs a carrier of about 19x19 pixels\n", nullptr, nullptr},
        {{"encode", "tiny19.png", "--hidden1", "Hidden 1.bmp", "-o", "t19.png"}, 0, "...vorn: to take them out: vorn decode t19.png\n", "t19.png", nullptr},
        {{"decode", "exists.png"}, 3,
         "vorn: exists.png: holds no hidden picture (its four low bits are 0 everywhere); to decode it all the same, name what it holds (--hidden)\n", nullptr, nullptr},
        // What one picture may cost, judged from its header.
        {{"encode", "--classic", "huge.png", "-o", "x.png"}, 3, huge("huge.png", 269), nullptr, nullptr},
        {{"encode", "--classic", "Main.bmp", "--hidden1", "huge.jpg", "-o", "x.png", "--max-megapixels=300"}, 3, huge("huge.jpg", 300), nullptr, nullptr},
        {{"reveal", "huge.png", "-o", "x.png", "--max-megapixels", "4097"}, 2,
         "vorn: --max-megapixels takes a whole number from 1 to 4096, not '4097' (see vorn reveal --help)\n", nullptr, nullptr},
        {{"decode", "huge.png", "--max-megapixels", "1e3"}, 2,
         "vorn: --max-megapixels takes a whole number from 1 to 4096, not '1e3' (see vorn decode --help)\n", nullptr, nullptr},
        // Outputs vorn may not write.
        {{"encode", "--classic", "Main.bmp", "-o", "Main.bmp", "--force"}, 4, "vorn: Main.bmp: this is the input Main.bmp; name another output file\n", nullptr, nullptr},
        {{"encode", "--classic", "Main.bmp", "--hidden1", "h1.png", "-o", "./h1.png", "-f"}, 4, "vorn: ./h1.png: this is the input h1.png; name another output file\n", nullptr, nullptr},
        {{"encode", "--classic", "Main.bmp", "-o", "a.bmp"}, 4, "vorn: a.bmp: the file exists; give --force to replace it\n", nullptr, nullptr},
        {{"reveal", "a.bmp", "-o", "nowhere/x.png"}, 4, "vorn: nowhere/x.png: cannot write it: its folder nowhere does not exist\n", nullptr, nullptr},
        {{"reveal", "a.bmp", "-o", "folder.png", "--force"}, 4, "vorn: folder.png: cannot write it: it is a directory\n", nullptr, nullptr},
        {{"decode", "a.bmp", "--hidden", "both", "-o", "exists.png"}, 4,
         "vorn: exists.png: not a folder; -o names the folder the hidden pictures are written into\n", nullptr, nullptr},
        // A folder for the decoded pictures is made when it is missing.
        {{"decode", "a.bmp", "--hidden", "both", "--build", "vornhold2", "-o", "new/out/"}, 0,
         "vorn: wrote new/out/hidden-1.png (hidden pictures 1 and 2, written by vornhold2)\n"
         "vorn: wrote new/out/hidden-2.png (hidden pictures 1 and 2, written by vornhold2)\n", "new/out/hidden-2.png", nullptr},
        // Decoding names the files it wrote, unless told to be quiet.
        {{"decode", "a.bmp", "--hidden", "1", "-o", "quiet", "-q"}, 0, "", "quiet/hidden-1.png", nullptr},
        {{"decode", "a.bmp", "--hidden", "1", "-o", "told", "-v"}, 0,
         "...vorn: wrote told/hidden-1.png (hidden picture 1 alone)\nvorn: decoded a.bmp in ", "told/hidden-1.png", nullptr},
    };
    for (const row& r : rows) {
        std::string line;
        for (const std::string& word : r.args) line += " " + word;
        SCOPED_TRACE("vorn" + line);
        const std::set<std::string> before = listing();
        const vorn_run run = run_vorn(r.args);
        EXPECT_EQ(run.code, r.code);
        if (r.err.rfind("...", 0) == 0) {  // a piece of stderr
            EXPECT_NE(run.err.find(r.err.substr(3)), std::string::npos) << run.err;
        } else if (r.code != 3 || !r.err.empty()) {
            EXPECT_EQ(run.err, r.err);
        }
        EXPECT_EQ(run.out, "");
        if (!r.output) {
            EXPECT_EQ(listing(), before);  // nothing written, not even a temporary file
            continue;
        }
        const bytes written = read_bytes(r.output);
        if (!r.expected) {
            EXPECT_FALSE(written.empty());
        } else if (fs::path(r.output).extension() == ".png") {
            EXPECT_EQ(png_pixels(written), rgb_of(*r.expected));
        } else {
            EXPECT_EQ(written, *r.expected);
        }
    }
}

TEST_F(vorn_table_test, help_and_version_go_to_stdout)
{
    const vorn_run help = run_vorn({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_NE(help.out.find("Usage: vorn COMMAND"), std::string::npos);
    EXPECT_EQ(help.err, "");
    EXPECT_NE(run_vorn({"decode", "--help"}).out.find("Usage: vorn decode CODED"), std::string::npos);
    EXPECT_EQ(run_vorn({"--version"}).out.rfind("vorn 3.", 0), 0u);
    // Without a password the compact form is sealed under a key anyone can derive: not encrypted.
    EXPECT_EQ(run_vorn({"encode", "--help"}).out.find("encrypted"), std::string::npos);
}

TEST_F(vorn_table_test, force_replaces_a_link_without_writing_through_it)
{
    write_bytes("target.bmp", bytes{7});
    fs::create_symlink("target.bmp", "out.bmp");
    ASSERT_EQ(run_vorn({"encode", "--classic", "Main.bmp", "-o", "out.bmp", "--force"}).code, 0);
    EXPECT_EQ(read_bytes("target.bmp"), bytes{7});
    EXPECT_FALSE(fs::is_symlink("out.bmp"));
    EXPECT_EQ(read_bytes("out.bmp").size(), read_bytes("Main.bmp").size());
}

std::string source_text(const fs::path& path)
{
    std::ifstream file(fs::path(VORN_SOURCE_DIR) / path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

bool option_character(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '_'; }

// Whether `text` names `option` as a word of its own.
bool names(const std::string& text, const std::string& option)
{
    for (size_t at = text.find(option); at != std::string::npos; at = text.find(option, at + 1)) {
        const size_t after = at + option.size();
        if ((at == 0 || !option_character(text[at - 1])) && (after == text.size() || !option_character(text[after])))
            return true;
    }
    return false;
}

// Every option of every command's --help is in the man page and the completion, -q and - too.
TEST_F(vorn_table_test, the_man_page_and_the_completion_know_every_option)
{
    std::string man = source_text("man/vorn.1.in");
    for (size_t at = man.find("\\-"); at != std::string::npos; at = man.find("\\-", at)) man.erase(at, 1);
    for (size_t at = man.find("\\f"); at != std::string::npos; at = man.find("\\f", at)) man.erase(at, 3);  // fonts
    const std::string completion = source_text("completion/vorn.bash");
    for (const char* command : {"encode", "decode", "reveal"}) {
        std::istringstream help(run_vorn({command, "--help"}).out);
        for (std::string word; help >> word;) {
            if (word.size() < 2 || word[0] != '-' || !(word[1] == '-' || std::isalpha(static_cast<unsigned char>(word[1]))))
                continue;
            const std::string name = word.substr(0, std::find_if_not(word.begin() + 1, word.end(), option_character) - word.begin());
            if (name.size() > 2 && name[1] != '-') continue;  // "-quality", not an option
            EXPECT_TRUE(names(man, name)) << command << " " << name;
            EXPECT_TRUE(names(completion, name)) << command << " " << name;
        }
    }
    EXPECT_NE(completion.find("\"-\""), std::string::npos);  // "-" offered where a file is
}

// The web page and the Python module are told of in their own words: no text of theirs names
// one of vorn's options. Comments, for the developers, are left out.
TEST(front_end_words, the_page_and_python_never_name_vorns_options)
{
    const std::vector<std::string> options{
        "--password", "--password-file", "--hidden", "--hidden1", "--hidden2", "--build", "--max-megapixels",
        "--stealth", "--compact", "--classic", "--carrier-bits", "--fit", "--raw", "--force", "--threads",
        "--output", "--quiet", "--verbose", "-o", "-q", "-v", "-f"};
    const auto named = [&](const std::string& text) {
        return std::any_of(options.begin(), options.end(), [&](const std::string& option) { return names(text, option); });
    };
    std::vector<fs::path> files{fs::path(VORN_SOURCE_DIR) / "python/binding.cpp"};
    for (const char* folder : {"web", "python/vornhold"})
        for (const auto& entry : fs::directory_iterator(fs::path(VORN_SOURCE_DIR) / folder))
            if (std::set<std::string>{".js", ".html", ".py", ".pyi", ".cpp"}.count(entry.path().extension()))
                files.push_back(entry.path());
    ASSERT_GT(files.size(), 8u);
    for (const fs::path& path : files) {
        std::ifstream file(path);
        int number = 0;
        for (std::string line; std::getline(file, line);) {
            ++number;
            const size_t first = line.find_first_not_of(" \t");
            const bool comment = first != std::string::npos && (line.compare(first, 2, "//") == 0 ||
                                                                 line[first] == '#' || line[first] == '*' ||
                                                                 line.compare(first, 2, "/*") == 0);
            if (!comment) {
                EXPECT_FALSE(named(line)) << path << ":" << number << ": " << line;
            }
        }
    }
    for (const kit::front_end& words : {kit::page_words(), kit::python_words()})
        for (const std::string& text : {words.hidden, words.build, words.password, words.max_megapixels, words.decode})
            EXPECT_FALSE(named(text)) << text;
}

}  // namespace
