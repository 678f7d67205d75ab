#pragma once

// How a shared video is meant to be seen in a headset: the surface its picture is mapped on
// and how the two eyes' pictures are packed in a frame. Headset players cannot tell this from
// the file itself, so the library tells them, in each player's own words, from one table.
// Pure functions, callable from any thread.

#include <string_view>

namespace brisel {

enum class VrProjection {
  Flat,     // an ordinary picture on a virtual screen
  Dome,     // 180° equirectangular (half sphere)
  Sphere,   // 360° equirectangular
  Fisheye,  // 190° fisheye
  Mkx200,   // 200° fisheye of the MKX200 lens
  Mkx220,   // 220° fisheye of the MKX220 lens
  Vrca220,  // 220° fisheye of the VRCA220 lens
  Rf52,     // 190° fisheye of the RF52 lens
};

enum class VrStereo {
  Mono,        // one picture for both eyes
  SideBySide,  // left eye in the left half
  TopBottom,   // left eye in the top half
};

struct VrFormat {
  VrProjection projection = VrProjection::Flat;
  VrStereo stereo = VrStereo::Mono;
  bool operator==(const VrFormat&) const = default;
};

// What each player calls a projection, and what packing goes with it when nothing says.
struct VrProjectionNames {
  VrProjection projection;
  const char* deoVrScreenType;       // DeoVR "screenType"
  const char* hereSphereProjection;  // HereSphere "projection"
  const char* hereSphereLens;        // HereSphere "lens"
  int fieldOfView;                   // HereSphere "fov", degrees (0 for a flat picture)
  VrStereo usualStereo;              // cameras of this kind are nearly always built so
};
const VrProjectionNames& NamesOf(VrProjection projection);

// DeoVR "stereoMode": "off", "sbs", "tb".
const char* DeoVrStereoMode(VrStereo stereo);
// HereSphere "stereo": "mono", "sbs", "tb".
const char* HereSphereStereo(VrStereo stereo);

// The format of a video, decided in this order:
// 1. The file name's tokens as the VR world writes them (any case; a token is a run of ASCII
//    letters and digits): 180, 180x180, vr180, dome → Dome; 360, 360x180, sphere → Sphere;
//    fisheye, fisheye190, f180 → Fisheye; mkx200, mkx220, vrca220, rf52 → that lens (a lens
//    token wins over the others, otherwise the first projection token counts); lr, sbs, 3dh,
//    hsbs → side by side; tb, ou, 3dv, htb, hou → top and bottom; mono, 2d → mono.
// 2. For a converted video without a projection token, what the converter made of it: a flat
//    picture (1.32 < width ÷ height < 1.78) is a "3D" output, flat and side by side; any
//    other known picture is a "360°" output, a sphere.
// 3. The picture of one eye (the frame split as the packing says): 2:1 is a sphere, and 1:1
//    of a packed frame is a dome (a square mono picture says nothing).
// 4. Otherwise flat.
// The packing is the token's when there is one, else the converter's ("3D" is side by side),
// else the projection's usual one. `width` and `height` are 0 when unknown.
VrFormat DecideVrFormat(std::string_view fileName, bool converted, unsigned width, unsigned height);

}  // namespace brisel
