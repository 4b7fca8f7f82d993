// LightingEffect: spot, directional and point lights over a slightly bumpy surface.
#include "effects_internal.h"
#include "operations.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace rasterkit {
namespace {

struct Vec3 {
    double x = 0;
    double y = 0;
    double z = 0;
};
Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
Vec3 operator*(double k, Vec3 a) {
    return {k * a.x, k * a.y, k * a.z};
}
double dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
double length(Vec3 a) {
    return std::sqrt(dot(a, a));
}
Vec3 unit(Vec3 a) {
    const double n = length(a);
    return n > 0 ? (1 / n) * a : Vec3{0, 0, 1};
}

// Intensity over distance d in pixels.
double attenuation(double d) {
    return 1 / (0.00005 * d * d + 0.0001 * d + 1);
}

// A light prepared for the pixel loop.
struct PreparedLight {
    int type;
    Vec3 position;
    Vec3 towardsLight;   // directional lights: constant
    double intensity[3]; // blue, green, red, the pixel order
    // Spot footprint: an ellipse of semi-axes a (along the beam's heading) and b, turned by theta
    // about its centre.
    double cx = 0;
    double cy = 0;
    double a = 1;
    double b = 1;
    double cosTheta = 1;
    double sinTheta = 0;
};

bool prepare(const LightSource& source, PreparedLight& light) {
    light.type = source.type;
    light.position = {source.x, source.y, source.z};
    light.intensity[0] = source.blue;
    light.intensity[1] = source.green;
    light.intensity[2] = source.red;
    const Vec3 direction = unit({source.dx, source.dy, source.dz});
    switch (source.type) {
    case RK_LIGHT_DIRECTIONAL:
        light.towardsLight = -1 * direction;
        return true;
    case RK_LIGHT_POINT:
        return true;
    case RK_LIGHT_SPOT: {
        // The beam's axis meets the image where it has come down from the light's height; a
        // beam that does not point down lights the area below the light.
        const double down = direction.z < -1e-6 ? -direction.z : 1.0;
        const double travel = direction.z < -1e-6 ? source.z / down : 0;
        light.cx = source.x + direction.x * travel;
        light.cy = source.y + direction.y * travel;
        const double spread = std::clamp<double>(source.spread, RK_LIGHT_SPREAD_MIN, RK_LIGHT_SPREAD_MAX) *
                              3.14159265358979 / 180;
        const double reach = std::max(1.0, std::fabs(source.z) / down);
        light.b = reach * std::tan(spread);
        light.a = light.b / std::max(down, 0.1); // an oblique beam stretches along its heading
        const double theta = std::atan2(direction.y, direction.x);
        light.cosTheta = std::cos(theta);
        light.sinTheta = std::sin(theta);
        return true;
    }
    default:
        return false;
    }
}

bool inFootprint(const PreparedLight& l, double x, double y) {
    const double u = (x - l.cx) * l.cosTheta + (y - l.cy) * l.sinTheta;
    const double v = -(x - l.cx) * l.sinTheta + (y - l.cy) * l.cosTheta;
    return u * u / (l.a * l.a) + v * v / (l.b * l.b) <= 1;
}

} // namespace

int runLightingEffect(ImageInfo& info) {
    const auto* param = static_cast<const LightingParam*>(info.lpParam);
    const int count = std::clamp(param->lightCount, RK_LIGHTING_LIGHT_COUNT_MIN, RK_LIGHTING_LIGHT_COUNT_MAX);
    std::array<PreparedLight, RK_LIGHT_MAX_COUNT> lights{};
    int used = 0;
    for (int i = 0; i < count; ++i) {
        if (prepare(param->lights[i], lights[static_cast<std::size_t>(used)])) ++used;
    }
    // Heights of the bump table, 15-bit draws as the table's scale expects.
    const double strength =
        std::clamp(param->bumpStrength, RK_LIGHTING_BUMP_STRENGTH_MIN, RK_LIGHTING_BUMP_STRENGTH_MAX) / 100.0;
    double bumps[10][10];
    for (auto& row : bumps) {
        for (double& h : row)
            h = (std::rand() & 0x7fff) * strength / 65535;
    }
    const double shininess = std::max(param->shininess, RK_LIGHTING_SHININESS_MIN);
    const double ambient[3] = {param->ambientBlue, param->ambientGreen, param->ambientRed};
    const double bias = param->ambientBias;
    const int width = info.nSrcWidth;
    const int height = info.nSrcHeight;
    const ChannelLayout layout = channelLayout(info);
    copyPixels(info);
    Selection selection(info, width);
    const Vec3 viewer{0, 0, 1};
    for (int y = 0; y < height; ++y) {
        if (canceled(info)) return kCancel;
        const std::uint8_t* selected = selection.row(y);
        for (int x = 0; x < width; ++x) {
            if (selected != nullptr && !selected[x]) continue;
            const double h = bumps[y % 10][x % 10];
            const Vec3 normal = unit({h - bumps[y % 10][(x + 1) % 10], h - bumps[(y + 1) % 10][x % 10], 1});
            double value[3];
            double sum[3];
            for (int c = 0; c < 3; ++c) {
                value[c] = *layout.srcAt(c, x, y) / 255.0;
                sum[c] = ambient[c] * (value[c] + bias);
            }
            const Vec3 surface{static_cast<double>(x), static_cast<double>(y), 0};
            for (int i = 0; i < used; ++i) {
                const PreparedLight& l = lights[static_cast<std::size_t>(i)];
                Vec3 towards = l.towardsLight;
                double fall = 1;
                if (l.type != RK_LIGHT_DIRECTIONAL) {
                    if (l.type == RK_LIGHT_SPOT && !inFootprint(l, x, y)) continue;
                    const Vec3 offset = l.position - surface;
                    fall = attenuation(length(offset));
                    towards = unit(offset);
                }
                const double diffuse = std::max(0.0, dot(normal, towards));
                if (diffuse <= 0) continue;
                const Vec3 reflected = 2 * diffuse * normal - towards;
                const double specular = std::pow(std::max(0.0, dot(viewer, reflected)), shininess);
                for (int c = 0; c < 3; ++c)
                    sum[c] += (diffuse + specular) * l.intensity[c] * fall * value[c];
            }
            for (int c = 0; c < 3; ++c)
                *layout.dstAt(c, x, y) = clampTruncate(sum[c] * 255 + 0.5);
        }
        progress(info, y + 1, height);
    }
    return kSucceed;
}

} // namespace rasterkit
