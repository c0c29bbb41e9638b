// Host helper of the player-stub build:
//   vek_stub_tool art DIR          writes the button bitmaps and the icon
//   vek_stub_tool pad IN OUT SIZE  copies IN to OUT padded with zeros to
//                                  exactly SIZE bytes; fails (leaving no OUT)
//                                  when IN is larger
// The pictures are drawn here rather than committed as binaries. Buttons are
// 20 x 18 dialog units, about 30 x 29 pixels with the dialog font, so the
// bitmaps are 22 x 20 pixels on the grey that LR_LOADMAP3DCOLORS maps to the
// button face colour.
// SPDX-License-Identifier: GPL-3.0-or-later
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

struct Rgb {
    std::uint8_t r, g, b;
};

struct Image {
    int w, h;
    std::vector<Rgb> px;
    Image(int w_, int h_, Rgb fill) : w(w_), h(h_), px(static_cast<std::size_t>(w_ * h_), fill) {}
    Rgb& at(int x, int y) { return px[static_cast<std::size_t>(y * w + x)]; }
};

constexpr Rgb kFace{192, 192, 192};  // mapped to COLOR_3DFACE when loaded

void put16(std::vector<std::uint8_t>& v, unsigned x) {
    v.push_back(static_cast<std::uint8_t>(x));
    v.push_back(static_cast<std::uint8_t>(x >> 8));
}
void put32(std::vector<std::uint8_t>& v, std::uint32_t x) {
    for (int i = 0; i < 4; ++i) v.push_back(static_cast<std::uint8_t>(x >> (8 * i)));
}

// The icon's image: BITMAPINFOHEADER (height doubled), bottom-up 32-bit
// pixels, then an all-opaque AND mask.
std::vector<std::uint8_t> dib(const Image& im, bool icon) {
    std::vector<std::uint8_t> v;
    put32(v, 40);
    put32(v, static_cast<std::uint32_t>(im.w));
    put32(v, static_cast<std::uint32_t>(icon ? 2 * im.h : im.h));
    put16(v, 1);
    put16(v, icon ? 32 : 24);
    put32(v, 0);
    put32(v, 0);
    put32(v, 2835);
    put32(v, 2835);
    put32(v, 0);
    put32(v, 0);
    for (int y = im.h - 1; y >= 0; --y) {
        std::size_t row = v.size();
        for (int x = 0; x < im.w; ++x) {
            const Rgb c = im.px[static_cast<std::size_t>(y * im.w + x)];
            v.push_back(c.b);
            v.push_back(c.g);
            v.push_back(c.r);
            if (icon) v.push_back(0xFF);
        }
        while ((v.size() - row) % 4) v.push_back(0);
    }
    if (icon) {
        const int maskRow = ((im.w + 31) / 32) * 4;
        v.insert(v.end(), static_cast<std::size_t>(maskRow * im.h), 0);  // all opaque
    }
    return v;
}

bool writeFile(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

// 8-bit bitmap with a colour table: LR_LOADMAP3DCOLORS replaces the greys
// 128, 192 and 223 in the colour table (only there) with the shadow, face
// and light colours of the user's scheme, so the picture blends in.
bool writeBmp(const std::string& path, const Image& im) {
    std::vector<Rgb> palette;
    std::vector<std::uint8_t> index(im.px.size());
    for (std::size_t i = 0; i < im.px.size(); ++i) {
        const Rgb c = im.px[i];
        std::size_t k = 0;
        while (k < palette.size() && !(palette[k].r == c.r && palette[k].g == c.g && palette[k].b == c.b)) ++k;
        if (k == palette.size()) palette.push_back(c);
        if (k > 255) return false;
        index[i] = static_cast<std::uint8_t>(k);
    }
    // Two colours give a 1-bit bitmap: the form the system's embossed
    // drawing of disabled buttons handles best.
    const int bits = palette.size() <= 2 ? 1 : 8;
    const std::uint32_t rowBytes = static_cast<std::uint32_t>((im.w * bits + 31) / 32 * 4);
    const std::uint32_t offset = 14 + 40 + 4 * static_cast<std::uint32_t>(palette.size());
    std::vector<std::uint8_t> v{'B', 'M'};
    put32(v, offset + rowBytes * static_cast<std::uint32_t>(im.h));
    put32(v, 0);
    put32(v, offset);
    put32(v, 40);
    put32(v, static_cast<std::uint32_t>(im.w));
    put32(v, static_cast<std::uint32_t>(im.h));
    put16(v, 1);
    put16(v, static_cast<unsigned>(bits));
    put32(v, 0);
    put32(v, rowBytes * static_cast<std::uint32_t>(im.h));
    put32(v, 2835);
    put32(v, 2835);
    put32(v, static_cast<std::uint32_t>(palette.size()));
    put32(v, 0);
    for (const Rgb& c : palette) {
        v.push_back(c.b);
        v.push_back(c.g);
        v.push_back(c.r);
        v.push_back(0);
    }
    for (int y = im.h - 1; y >= 0; --y) {
        std::vector<std::uint8_t> row(rowBytes, 0);
        for (int x = 0; x < im.w; ++x) {
            const std::uint8_t k = index[static_cast<std::size_t>(y * im.w + x)];
            if (bits == 8) {
                row[static_cast<std::size_t>(x)] = k;
            } else if (k) {
                row[static_cast<std::size_t>(x / 8)] |= static_cast<std::uint8_t>(0x80 >> (x % 8));
            }
        }
        v.insert(v.end(), row.begin(), row.end());
    }
    return writeFile(path, v);
}

bool writeIco(const std::string& path, const Image& im) {
    const auto body = dib(im, true);
    std::vector<std::uint8_t> v;
    put16(v, 0);
    put16(v, 1);
    put16(v, 1);
    v.push_back(static_cast<std::uint8_t>(im.w));
    v.push_back(static_cast<std::uint8_t>(im.h));
    v.push_back(0);
    v.push_back(0);
    put16(v, 1);
    put16(v, 32);
    put32(v, static_cast<std::uint32_t>(body.size()));
    put32(v, 6 + 16);
    v.insert(v.end(), body.begin(), body.end());
    return writeFile(path, v);
}

// A right-pointing triangle with a one-pixel darker rim, centred.
void triangle(Image& im, double cx, double cy, double size, Rgb fill, Rgb rim) {
    const double x0 = cx - size * 0.45, x1 = cx + size * 0.55, half = size * 0.55;
    for (int y = 0; y < im.h; ++y) {
        for (int x = 0; x < im.w; ++x) {
            const double px = x + 0.5, py = y + 0.5;
            if (px < x0 || px > x1) continue;
            const double reach = half * (x1 - px) / (x1 - x0);
            const double d = std::fabs(py - cy);
            if (d <= reach) im.at(x, y) = (d > reach - 1.0 || px < x0 + 1.0) ? rim : fill;
        }
    }
}

void square(Image& im, int x0, int y0, int side, Rgb fill, Rgb rim) {
    for (int y = y0; y < y0 + side; ++y) {
        for (int x = x0; x < x0 + side; ++x) {
            const bool edge = y == y0 || x == x0 || y == y0 + side - 1 || x == x0 + side - 1;
            im.at(x, y) = edge ? rim : fill;
        }
    }
}

int art(const std::string& dir) {
    // Bitmap 121 is only ever shown on the disabled Play button, which the
    // system draws embossed: everything but pure white turns into the
    // embossed shape, so its background is white and the triangle solid.
    Image play(22, 20, kFace), playing(22, 20, Rgb{255, 255, 255}), stop(22, 20, kFace), icon(32, 32, Rgb{24, 64, 120});
    triangle(play, 11.5, 10.0, 14.0, Rgb{16, 160, 48}, Rgb{0, 80, 16});
    triangle(playing, 11.5, 10.0, 14.0, Rgb{0, 96, 24}, Rgb{0, 96, 24});
    square(stop, 5, 4, 12, Rgb{40, 40, 40}, Rgb{0, 0, 0});
    // Icon: a white play symbol over a blue disc on a transparent-looking ring.
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const double dx = x - 15.5, dy = y - 15.5;
            if (dx * dx + dy * dy > 15.5 * 15.5) icon.at(x, y) = kFace;
        }
    }
    triangle(icon, 17.0, 16.0, 18.0, Rgb{250, 250, 250}, Rgb{200, 220, 240});
    const bool ok = writeBmp(dir + "/play.bmp", play) && writeBmp(dir + "/playing.bmp", playing) &&
                    writeBmp(dir + "/stop.bmp", stop) && writeIco(dir + "/player.ico", icon);
    if (!ok) std::fprintf(stderr, "vek_stub_tool: cannot write the pictures into %s\n", dir.c_str());
    return ok ? 0 : 1;
}

int pad(const std::string& in, const std::string& out, const std::string& sizeText) {
    const long long target = std::atoll(sizeText.c_str());
    std::FILE* f = std::fopen(in.c_str(), "rb");
    if (!f || target <= 0) {
        std::fprintf(stderr, "vek_stub_tool: cannot read %s\n", in.c_str());
        if (f) std::fclose(f);
        return 1;
    }
    std::vector<std::uint8_t> bytes;
    std::uint8_t chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + n);
    std::fclose(f);
    std::remove(out.c_str());
    if (static_cast<long long>(bytes.size()) > target) {
        std::fprintf(stderr,
                     "vek_stub_tool: %s is %zu bytes, more than the %lld bytes the header offset of its "
                     "self-playing files allows\n",
                     in.c_str(), bytes.size(), target);
        return 1;
    }
    std::printf("%s: %zu bytes of program, padded to %lld\n", out.c_str(), bytes.size(), target);
    bytes.resize(static_cast<std::size_t>(target), 0);
    if (!writeFile(out, bytes)) {
        std::remove(out.c_str());
        std::fprintf(stderr, "vek_stub_tool: cannot write %s\n", out.c_str());
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "art" && argc == 3) return art(argv[2]);
    if (cmd == "pad" && argc == 5) return pad(argv[2], argv[3], argv[4]);
    std::fprintf(stderr, "usage: vek_stub_tool art DIR | pad IN OUT SIZE\n");
    return 2;
}
