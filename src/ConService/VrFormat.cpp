#include "ConService/VrFormat.h"

#include <cstdint>

namespace brisel {
namespace {

constexpr VrProjectionNames kProjections[] = {
    // projection, DeoVR screenType, HereSphere projection, lens, fov, usual packing
    {VrProjection::Flat, "flat", "perspective", "Linear", 0, VrStereo::Mono},
    {VrProjection::Dome, "dome", "equirectangular", "Linear", 180, VrStereo::SideBySide},
    {VrProjection::Sphere, "sphere", "equirectangular360", "Linear", 360, VrStereo::Mono},
    {VrProjection::Fisheye, "fisheye", "fisheye", "Linear", 190, VrStereo::SideBySide},
    {VrProjection::Mkx200, "mkx200", "fisheye", "MKX200", 200, VrStereo::SideBySide},
    // DeoVR has no name for the 220° lenses: its 190° fisheye is the nearest.
    {VrProjection::Mkx220, "fisheye", "fisheye", "MKX220", 220, VrStereo::SideBySide},
    {VrProjection::Vrca220, "fisheye", "fisheye", "VRCA220", 220, VrStereo::SideBySide},
    {VrProjection::Rf52, "rf52", "fisheye", "Linear", 190, VrStereo::SideBySide},
};

struct StereoNames {
  VrStereo stereo;
  const char* deoVr;       // DeoVR "stereoMode"
  const char* hereSphere;  // HereSphere "stereo"
};
constexpr StereoNames kStereoNames[] = {
    {VrStereo::Mono, "off", "mono"},
    {VrStereo::SideBySide, "sbs", "sbs"},
    {VrStereo::TopBottom, "tb", "tb"},
};

const StereoNames& StereoNamesOf(VrStereo stereo) {
  for (const StereoNames& names : kStereoNames) {
    if (names.stereo == stereo) return names;
  }
  return kStereoNames[0];
}

struct ProjectionToken {
  const char* token;  // lower case
  VrProjection projection;
};
constexpr ProjectionToken kProjectionTokens[] = {
    {"180", VrProjection::Dome},           {"180x180", VrProjection::Dome},
    {"vr180", VrProjection::Dome},         {"dome", VrProjection::Dome},
    {"360", VrProjection::Sphere},         {"360x180", VrProjection::Sphere},
    {"sphere", VrProjection::Sphere},      {"fisheye", VrProjection::Fisheye},
    {"fisheye190", VrProjection::Fisheye}, {"f180", VrProjection::Fisheye},
    {"mkx200", VrProjection::Mkx200},      {"mkx220", VrProjection::Mkx220},
    {"vrca220", VrProjection::Vrca220},    {"rf52", VrProjection::Rf52},
};

struct StereoToken {
  const char* token;  // lower case
  VrStereo stereo;
};
constexpr StereoToken kStereoTokens[] = {
    {"lr", VrStereo::SideBySide},   {"sbs", VrStereo::SideBySide}, {"3dh", VrStereo::SideBySide},
    {"hsbs", VrStereo::SideBySide}, {"tb", VrStereo::TopBottom},   {"ou", VrStereo::TopBottom},
    {"3dv", VrStereo::TopBottom},   {"htb", VrStereo::TopBottom},  {"hou", VrStereo::TopBottom},
    {"mono", VrStereo::Mono},       {"2d", VrStereo::Mono},
};

bool IsLens(VrProjection p) {
  return p == VrProjection::Mkx200 || p == VrProjection::Mkx220 || p == VrProjection::Vrca220 ||
         p == VrProjection::Rf52;
}

bool IsAlnum(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool EqualsLower(std::string_view token, const char* lower) {
  std::size_t i = 0;
  for (; i < token.size() && lower[i]; ++i) {
    char c = token[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return i == token.size() && !lower[i];
}

// Whether a:b is within 1 % of the ratio num:den (integer arithmetic, no overflow for any
// unsigned sizes).
bool RatioIs(std::uint64_t a, std::uint64_t b, std::uint64_t num, std::uint64_t den) {
  if (a == 0 || b == 0) return false;
  const std::uint64_t lhs = a * den * 100, rhs = b * num * 100;
  const std::uint64_t diff = lhs > rhs ? lhs - rhs : rhs - lhs;
  return diff <= b * num;  // 1 % of b·num·100
}

}  // namespace

const VrProjectionNames& NamesOf(VrProjection projection) {
  for (const VrProjectionNames& names : kProjections) {
    if (names.projection == projection) return names;
  }
  return kProjections[0];
}

const char* DeoVrStereoMode(VrStereo stereo) { return StereoNamesOf(stereo).deoVr; }

const char* HereSphereStereo(VrStereo stereo) { return StereoNamesOf(stereo).hereSphere; }

VrFormat DecideVrFormat(std::string_view fileName, bool converted, unsigned width,
                        unsigned height) {
  bool hasProjection = false, hasStereo = false;
  VrFormat format;
  for (std::size_t i = 0; i < fileName.size();) {
    if (!IsAlnum(fileName[i])) {
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < fileName.size() && IsAlnum(fileName[end])) ++end;
    const std::string_view token = fileName.substr(i, end - i);
    i = end;
    for (const ProjectionToken& p : kProjectionTokens) {
      if (!EqualsLower(token, p.token)) continue;
      if (!hasProjection || (IsLens(p.projection) && !IsLens(format.projection))) {
        format.projection = p.projection;
      }
      hasProjection = true;
    }
    for (const StereoToken& s : kStereoTokens) {
      if (!hasStereo && EqualsLower(token, s.token)) {
        format.stereo = s.stereo;
        hasStereo = true;
      }
    }
  }
  if (hasProjection) {
    if (!hasStereo) format.stereo = NamesOf(format.projection).usualStereo;
    return format;
  }

  if (converted && width != 0 && height != 0) {
    // The converter's own split between "3D" and "360°" outputs.
    const double ratio = static_cast<double>(width) / static_cast<double>(height);
    if (ratio > 1.32 && ratio < 1.78) {
      format.projection = VrProjection::Flat;
      if (!hasStereo) format.stereo = VrStereo::SideBySide;
    } else {
      format.projection = VrProjection::Sphere;
      if (!hasStereo) format.stereo = NamesOf(VrProjection::Sphere).usualStereo;
    }
    return format;
  }

  // One eye's picture.
  std::uint64_t eyeWidth = width, eyeHeight = height;
  if (format.stereo == VrStereo::SideBySide) eyeWidth /= 2;
  if (format.stereo == VrStereo::TopBottom) eyeHeight /= 2;
  if (RatioIs(eyeWidth, eyeHeight, 2, 1)) {
    format.projection = VrProjection::Sphere;
  } else if (format.stereo != VrStereo::Mono && RatioIs(eyeWidth, eyeHeight, 1, 1)) {
    format.projection = VrProjection::Dome;
  }
  return format;
}

}  // namespace brisel
