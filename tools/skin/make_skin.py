#!/usr/bin/python3
"""Draws the skin of BriselVR助手 from tools/skin/skin.toml.

usage: make_skin.py [RESOURCES_DIR]   (default: resources/ of this repository)

Writes RESOURCES_DIR/SkinRes/<folder>/<file> for every [[file]] of the description, and the
application icon and hand cursor of its [[extra]] entries. Shapes are drawn four times
larger and scaled down (clean anti-aliased edges); text is drawn at its final size with the
installed CJK font so it stays crisp. The output is deterministic: running the script twice
gives the same files.

Needs Pillow (Debian: python3-pil) and the fonts-wqy-microhei and fonts-dejavu-core fonts.
"""

import math
import os
import sys
import tomllib

from PIL import Image, ImageDraw, ImageFont

HERE = os.path.dirname(os.path.abspath(__file__))
SS = 4  # supersampling factor of shape drawing

CJK_FONT = "/usr/share/fonts/truetype/wqy/wqy-microhei.ttc"
PALETTE = {}


# ----------------------------------------------------------------------------- colours

def rgb(name_or_hex):
    if isinstance(name_or_hex, tuple):
        return name_or_hex[:3]
    value = PALETTE.get(name_or_hex, name_or_hex)
    return tuple(int(value[i:i + 2], 16) for i in (0, 2, 4))


def rgba(name, alpha=1.0):
    return rgb(name) + (int(round(alpha * 255)),)


def mix(a, b, t):
    """Colour a blended towards b by t (0..1)."""
    ca, cb = rgb(a), rgb(b)
    return tuple(int(round(ca[i] + (cb[i] - ca[i]) * t)) for i in range(3))


# ----------------------------------------------------------------------------- canvas

class Canvas:
    """An RGBA drawing surface SS times the final size; coordinates are final pixels."""

    def __init__(self, w, h):
        self.w, self.h = w, h
        self.img = Image.new("RGBA", (w * SS, h * SS), (0, 0, 0, 0))
        self.d = ImageDraw.Draw(self.img)

    @staticmethod
    def _c(col):
        if isinstance(col, str):
            return rgba(col)
        if len(col) == 3:
            return tuple(col) + (255,)
        return tuple(col)

    def rect(self, x0, y0, x1, y1, fill):
        self.d.rectangle([x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1], fill=self._c(fill))

    def rrect(self, x0, y0, x1, y1, r, fill=None, outline=None, width=1.0):
        box = [x0 * SS, y0 * SS, x1 * SS - 1, y1 * SS - 1]
        if fill is not None:
            self.d.rounded_rectangle(box, radius=r * SS, fill=self._c(fill))
        if outline is not None:
            self.d.rounded_rectangle(box, radius=r * SS, outline=self._c(outline),
                                     width=max(1, int(round(width * SS))))

    def ellipse(self, cx, cy, rx, ry=None, fill=None, outline=None, width=1.0):
        ry = rx if ry is None else ry
        box = [(cx - rx) * SS, (cy - ry) * SS, (cx + rx) * SS - 1, (cy + ry) * SS - 1]
        self.d.ellipse(box, fill=self._c(fill) if fill is not None else None,
                       outline=self._c(outline) if outline is not None else None,
                       width=max(1, int(round(width * SS))) if outline is not None else 1)

    def line(self, pts, col, width=1.5, caps=True):
        c = self._c(col)
        sp = [(x * SS, y * SS) for x, y in pts]
        wpx = max(1, int(round(width * SS)))
        self.d.line(sp, fill=c, width=wpx, joint="curve")
        if caps:
            r = wpx / 2
            for x, y in (sp[0], sp[-1]):
                self.d.ellipse([x - r, y - r, x + r - 1, y + r - 1], fill=c)

    def arc(self, cx, cy, r, start, end, col, width=1.5):
        """Arc in degrees, clockwise from three o'clock (screen coordinates)."""
        steps = max(8, int(abs(end - start) / 4))
        pts = [(cx + r * math.cos(math.radians(start + (end - start) * i / steps)),
                cy + r * math.sin(math.radians(start + (end - start) * i / steps)))
               for i in range(steps + 1)]
        self.line(pts, col, width)
        return pts

    def polygon(self, pts, fill):
        self.d.polygon([(x * SS, y * SS) for x, y in pts], fill=self._c(fill))

    def composite(self, other, dx=0, dy=0):
        self.img.alpha_composite(other.img, (dx * SS, dy * SS))

    def finish(self):
        return self.img.resize((self.w, self.h), Image.BOX)


def layer_like(c):
    return Canvas(c.w, c.h)


# ----------------------------------------------------------------------------- text

def font(px):
    return ImageFont.truetype(CJK_FONT, px)


def draw_text(img, text, px, col, box=None, centre=None, anchor="mm", bold=0):
    """Draws text onto a final-size RGBA image by compositing a coloured, masked layer."""
    f = font(px)
    mask = Image.new("L", img.size, 0)
    md = ImageDraw.Draw(mask)
    if centre is None:
        x0, y0, x1, y1 = box
        centre = ((x0 + x1) / 2, (y0 + y1) / 2)
    md.text(centre, text, font=f, fill=255, anchor=anchor, stroke_width=bold,
            stroke_fill=255)
    layer = Image.new("RGBA", img.size, Canvas._c(col)[:3] + (0,))
    alpha = Canvas._c(col)[3] / 255
    layer.putalpha(mask.point(lambda v: int(v * alpha)))
    img.alpha_composite(layer)


def text_width(text, px):
    return font(px).getlength(text)


# ----------------------------------------------------------------------------- icons
# Each icon is drawn into a fresh layer centred at (cx, cy) in a box of about s pixels.

def arrow_head(c, tip, direction, size, col):
    dx, dy = direction
    n = math.hypot(dx, dy) or 1
    dx, dy = dx / n, dy / n
    px, py = -dy, dx
    base = (tip[0] - dx * size, tip[1] - dy * size)
    c.polygon([tip, (base[0] + px * size * 0.75, base[1] + py * size * 0.75),
               (base[0] - px * size * 0.75, base[1] - py * size * 0.75)], col)


def icon_plus(c, cx, cy, s, col, w):
    h = s * 0.36
    c.line([(cx - h, cy), (cx + h, cy)], col, w)
    c.line([(cx, cy - h), (cx, cy + h)], col, w)


def icon_minus(c, cx, cy, s, col, w):
    h = s * 0.36
    c.line([(cx - h, cy), (cx + h, cy)], col, w)


def icon_close(c, cx, cy, s, col, w):
    h = s * 0.3
    c.line([(cx - h, cy - h), (cx + h, cy + h)], col, w)
    c.line([(cx - h, cy + h), (cx + h, cy - h)], col, w)


def icon_tick(c, cx, cy, s, col, w):
    c.line([(cx - s * 0.32, cy + s * 0.02), (cx - s * 0.08, cy + s * 0.26),
            (cx + s * 0.34, cy - s * 0.24)], col, w)


def icon_convert(c, cx, cy, s, col, w):
    r = s * 0.36
    head = max(1.6, s * 0.16)
    for start, end in ((200, 330), (20, 150)):
        pts = c.arc(cx, cy, r, start, end, col, w)
        a = math.radians(end)
        arrow_head(c, (pts[-1][0] + -math.sin(a) * head * 0.6, pts[-1][1] + math.cos(a) * head * 0.6),
                   (-math.sin(a), math.cos(a)), head, col)


def icon_reset(c, cx, cy, s, col, w):
    r = s * 0.32
    pts = c.arc(cx, cy, r, -60, 230, col, w)
    a = math.radians(-60)
    arrow_head(c, (pts[0][0] + math.sin(a) * s * 0.1, pts[0][1] - math.cos(a) * s * 0.1),
               (math.sin(a), -math.cos(a)), max(1.6, s * 0.15), col)


def icon_trash(c, cx, cy, s, col, w):
    top = cy - s * 0.3
    c.line([(cx - s * 0.38, top), (cx + s * 0.38, top)], col, w)
    c.line([(cx - s * 0.12, top - s * 0.1), (cx + s * 0.12, top - s * 0.1)], col, w)
    body = [(cx - s * 0.28, top + s * 0.08), (cx - s * 0.22, cy + s * 0.4),
            (cx + s * 0.22, cy + s * 0.4), (cx + s * 0.28, top + s * 0.08)]
    c.line(body, col, w)
    c.line([(cx - s * 0.07, cy - s * 0.08), (cx - s * 0.07, cy + s * 0.24)], col, w * 0.85)
    c.line([(cx + s * 0.07, cy - s * 0.08), (cx + s * 0.07, cy + s * 0.24)], col, w * 0.85)


def icon_folder(c, cx, cy, s, col, w):
    x0, x1, y0, y1 = cx - s * 0.42, cx + s * 0.42, cy - s * 0.3, cy + s * 0.32
    c.line([(x0, y1), (x0, y0), (cx - s * 0.1, y0), (cx + s * 0.02, y0 + s * 0.12),
            (x1, y0 + s * 0.12), (x1, y1), (x0, y1)], col, w)
    c.line([(x0, y0 + s * 0.26), (x1, y0 + s * 0.26)], col, w * 0.85)


def icon_stack(c, cx, cy, s, col, w):
    a = s * 0.26
    c.rrect(cx - a - s * 0.1, cy - a - s * 0.1, cx + a - s * 0.1, cy + a - s * 0.1, 2,
            outline=col, width=w)
    c.rrect(cx - a + s * 0.12, cy - a + s * 0.12, cx + a + s * 0.12, cy + a + s * 0.12, 2,
            outline=col, width=w)


def icon_gear(c, cx, cy, s, col, w):
    teeth, ro, ri = 8, s * 0.44, s * 0.33
    pts = []
    for i in range(teeth * 4):
        a = math.radians(i * 360 / (teeth * 4) - 11)
        r = ro if (i % 4) in (1, 2) else ri
        pts.append((cx + r * math.cos(a), cy + r * math.sin(a)))
    g = layer_like(c)
    g.polygon(pts, col)
    g.ellipse(cx, cy, s * 0.15, fill=(0, 0, 0, 0))
    c.composite(g)


def icon_cast(c, cx, cy, s, col, w):
    x0, x1, y0, y1 = cx - s * 0.44, cx + s * 0.44, cy - s * 0.34, cy + s * 0.3
    c.line([(x0, y0 + s * 0.3), (x0, y0), (x1, y0), (x1, y1), (x0 + s * 0.42, y1)], col, w)
    ox, oy = x0, y1
    c.ellipse(ox + s * 0.03, oy - s * 0.03, max(1.0, w * 0.8), fill=col)
    c.arc(ox, oy, s * 0.2, 270, 360, col, w)
    c.arc(ox, oy, s * 0.36, 270, 360, col, w)


def icon_info(c, cx, cy, s, col, w):
    c.ellipse(cx, cy, s * 0.42, outline=col, width=w)
    c.ellipse(cx, cy - s * 0.19, max(0.9, w * 0.7), fill=col)
    c.line([(cx, cy - s * 0.04), (cx, cy + s * 0.22)], col, w)


def icon_spark(c, cx, cy, s, col, w):
    r, k = s * 0.44, s * 0.1
    c.polygon([(cx, cy - r), (cx + k, cy - k), (cx + r, cy), (cx + k, cy + k), (cx, cy + r),
               (cx - k, cy + k), (cx - r, cy), (cx - k, cy - k)], col)


def icon_play(c, cx, cy, s, col, w):
    c.polygon([(cx - s * 0.2, cy - s * 0.3), (cx + s * 0.3, cy), (cx - s * 0.2, cy + s * 0.3)], col)


def icon_pause(c, cx, cy, s, col, w):
    c.rrect(cx - s * 0.26, cy - s * 0.3, cx - s * 0.08, cy + s * 0.3, 1, fill=col)
    c.rrect(cx + s * 0.08, cy - s * 0.3, cx + s * 0.26, cy + s * 0.3, 1, fill=col)


def icon_sweep(c, cx, cy, s, col, w):
    c.line([(cx + s * 0.38, cy - s * 0.4), (cx + s * 0.02, cy - s * 0.02)], col, w)
    c.polygon([(cx - s * 0.1, cy - s * 0.14), (cx + s * 0.14, cy + s * 0.1),
               (cx - s * 0.08, cy + s * 0.42), (cx - s * 0.42, cy + s * 0.08)], col)


def icon_phone(c, cx, cy, s, col, w):
    c.rrect(cx - s * 0.22, cy - s * 0.4, cx + s * 0.22, cy + s * 0.4, s * 0.08, outline=col,
            width=w)
    c.line([(cx - s * 0.06, cy + s * 0.26), (cx + s * 0.06, cy + s * 0.26)], col, w)


def icon_bang(c, cx, cy, s, col, w):
    c.line([(cx, cy - s * 0.26), (cx, cy + s * 0.06)], col, w)
    c.ellipse(cx, cy + s * 0.24, w * 0.62, fill=col)


def icon_query(c, cx, cy, s, col, w):
    pts = c.arc(cx, cy - s * 0.1, s * 0.16, 190, 400, col, w)
    c.line([pts[-1], (cx, cy + s * 0.1)], col, w)
    c.ellipse(cx, cy + s * 0.28, w * 0.6, fill=col)


def icon_warning(c, cx, cy, s, col, w):
    r = s * 0.46
    c.polygon([(cx, cy - r), (cx + r * 1.05, cy + r * 0.85), (cx - r * 1.05, cy + r * 0.85)], col)
    icon_bang(c, cx, cy + s * 0.08, s * 0.9, "white", w)


def icon_goggles(c, cx, cy, s, body, lens):
    """The product's mark: a VR headset seen from the front."""
    w, h = s * 0.86, s * 0.5
    g = layer_like(c)
    g.rrect(cx - w / 2, cy - h / 2, cx + w / 2, cy + h / 2, h * 0.42, fill=body)
    g.ellipse(cx, cy + h / 2, s * 0.12, s * 0.13, fill=(0, 0, 0, 0))
    c.composite(g)
    c.ellipse(cx - w * 0.24, cy - h * 0.02, s * 0.12, fill=lens)
    c.ellipse(cx + w * 0.24, cy - h * 0.02, s * 0.12, fill=lens)


ICONS = {
    "plus": icon_plus, "minus": icon_minus, "close": icon_close, "tick": icon_tick,
    "convert": icon_convert, "reset": icon_reset, "trash": icon_trash, "folder": icon_folder,
    "stack": icon_stack, "gear": icon_gear, "cast": icon_cast, "info": icon_info,
    "spark": icon_spark, "play": icon_play, "pause": icon_pause, "sweep": icon_sweep,
    "phone": icon_phone, "bang": icon_bang, "query": icon_query, "warning": icon_warning,
}


def put_icon(c, name, cx, cy, s, col, w=1.5, rotate=0.0):
    lay = layer_like(c)
    ICONS[name](lay, cx, cy, s, col, w)
    if rotate:
        lay.img = lay.img.rotate(-rotate, resample=Image.BICUBIC, center=(cx * SS, cy * SS))
    c.composite(lay)


# ----------------------------------------------------------------------------- recipes
# A recipe paints one state cell: recipe(spec, state_index, state_name, w, h) -> RGBA image.

def shadow_alpha(d):
    """Opacity of the drop shadow d pixels outside the window edge (before the 200/255)."""
    if d >= 16:
        return 0.0
    soft = 0.24 * math.exp(-(d * d) / (2 * 4.6 * 4.6))
    contact = 0.16 * math.exp(-(d * d) / (2 * 1.1 * 1.1))
    fade = min(1.0, (16 - d) / 3.0)  # reaches 0 exactly at the outer edge
    return (soft + contact) * fade


def shadow_image(w, h, dist):
    img = Image.new("RGBA", (w, h))
    col = rgb("shadow")
    px = img.load()
    for y in range(h):
        for x in range(w):
            d = dist(x + 0.5, y + 0.5)
            a = 0 if d is None else int(round(255 * shadow_alpha(d)))
            px[x, y] = col + (a,)
    return img


def r_shadow_edge(spec, k, state, w, h):
    side = spec["side"]
    if side == "left":
        return shadow_image(w, h, lambda x, y: 16 - x)
    if side == "right":
        return shadow_image(w, h, lambda x, y: x)
    edge_y = 16 if side == "top" else 0

    def dist(x, y):
        dx = max(0.0, 16 - x, x - (w - 16))
        dy = abs(edge_y - y)
        return math.hypot(dx, dy)
    return shadow_image(w, h, dist)


def r_shadow_ring(spec, k, state, w, h):
    def dist(x, y):
        dx = max(0.0, 16 - x, x - (w - 16))
        dy = max(0.0, 16 - y, y - (h - 16))
        return None if dx == 0 and dy == 0 else math.hypot(dx, dy)
    return shadow_image(w, h, dist)


def r_toast(spec, k, state, w, h):
    c = Canvas(w, h)
    c.rrect(0, 0, w, h, 8, fill="column")
    c.rrect(w / 2 - 14, h - 13, w / 2 + 14, h - 10, 1.5, fill="amber")
    return c.finish()


def r_icon(spec, k, state, w, h):
    c = Canvas(w, h)
    put_icon(c, spec["icon"], w / 2, h / 2, min(w, h), spec.get("colour", "grey"), 1.6)
    return c.finish()


def r_tick_mark(spec, k, state, w, h):
    c = Canvas(w, h)
    put_icon(c, "tick", w / 2, h / 2, 11, "amber" if k == 0 else "white", 1.7)
    return c.finish()


STATE_GLYPH = ["grey", "amber", "amber_dark", "disabled"]


def r_glyph_button(spec, k, state, w, h):
    c = Canvas(w, h)
    if k in (1, 2):
        c.rrect(0, 0, w, h, 4, fill=rgba("amber", 0.12 if k == 1 else 0.22))
    put_icon(c, spec["icon"], w / 2, h / 2, w * 0.62, STATE_GLYPH[k], 1.5)
    return c.finish()


def r_glyph(spec, k, state, w, h):
    c = Canvas(w, h)
    put_icon(c, spec["icon"], w / 2, h / 2, w * (0.8 if w <= 16 else 0.66), STATE_GLYPH[k],
             1.4 if w <= 16 else 1.6)
    return c.finish()


def button_face(c, w, h, k, primary):
    """The shared face of the push buttons: outline button, or filled amber for primary."""
    if primary:
        fills = ["amber", mix("amber", "white", 0.16), "amber_dark", mix("amber", "page", 0.55)]
        c.rrect(0, 0, w, h, 4, fill=fills[k])
        return
    if k == 0:
        c.rrect(0, 0, w, h, 4, fill="white")
        c.rrect(0, 0, w, h, 4, outline="line", width=1)
    elif k == 1:
        c.rrect(0, 0, w, h, 4, fill="amber")
    elif k == 2:
        c.rrect(0, 0, w, h, 4, fill="amber_dark")
    else:
        c.rrect(0, 0, w, h, 4, fill=mix("page", "white", 0.5))
        c.rrect(0, 0, w, h, 4, outline=mix("line", "page", 0.5), width=1)


def r_push_button(spec, k, state, w, h):
    c = Canvas(w, h)
    button_face(c, w, h, k, spec.get("primary", False))
    return c.finish()


def r_tool_button(spec, k, state, w, h):
    c = Canvas(w, h)
    button_face(c, w, h, k, False)
    col = ["grey", "white", "white", "disabled"][k]
    put_icon(c, spec["icon"], 14, h / 2, 13, col, 1.5)
    return c.finish()


def r_empty_hint(spec, k, state, w, h):
    c = Canvas(w, h)
    border = mix("line", "grey", 0.15)
    x0, y0, x1, y1, r = 6, 6, w - 6, h - 6, 12
    dash, gap = 7, 5
    for (ax, ay, bx, by) in ((x0 + r, y0, x1 - r, y0), (x0 + r, y1, x1 - r, y1),
                             (x0, y0 + r, x0, y1 - r), (x1, y0 + r, x1, y1 - r)):
        length = math.hypot(bx - ax, by - ay)
        n = int((length + gap) // (dash + gap))
        start = (length - (n * (dash + gap) - gap)) / 2
        for i in range(n):
            t0 = (start + i * (dash + gap)) / length
            t1 = (start + i * (dash + gap) + dash) / length
            c.line([(ax + (bx - ax) * t0, ay + (by - ay) * t0),
                    (ax + (bx - ax) * t1, ay + (by - ay) * t1)], border, 1.5, caps=False)
    for (cx, cy, a0) in ((x0 + r, y0 + r, 180), (x1 - r, y0 + r, 270), (x1 - r, y1 - r, 0),
                         (x0 + r, y1 - r, 90)):
        c.arc(cx, cy, r, a0, a0 + 90, border, 1.5)
    # the picture: a video card with a play mark and an add badge
    c.rrect(w / 2 - 34, 38, w / 2 + 34, 88, 8, fill="white")
    c.rrect(w / 2 - 34, 38, w / 2 + 34, 88, 8, outline="line", width=1)
    put_icon(c, "play", w / 2 - 2, 63, 26, mix("nav", "white", 0.25))
    c.ellipse(w / 2 + 32, 88, 13, fill="amber")
    c.ellipse(w / 2 + 32, 88, 13, outline="page", width=2.5)
    put_icon(c, "plus", w / 2 + 32, 88, 14, "white", 2.0)
    img = c.finish()
    draw_text(img, "还没有视频", 16, "column", centre=(w / 2, 126))
    draw_text(img, "把视频文件拖到这里，手机上就能看到它们", 12, "grey", centre=(w / 2, 152))
    draw_text(img, "或者点击", 12, "grey", centre=(w / 2 - 2, 201), anchor="rm")
    return img


def r_window_outline(spec, k, state, w, h):
    c = Canvas(w, h)
    c.rect(0, 0, w, 1, "line")
    c.rect(0, h - 1, w, h, "line")
    c.rect(0, 0, 1, h, "line")
    c.rect(w - 1, 0, w, h, "line")
    return c.finish()


def logo_mark(c, x, y, s):
    top, bottom = rgb(mix("amber", "white", 0.18)), rgb("amber_dark")
    g = Canvas(c.w, c.h)
    for i in range(int(s * SS)):
        t = i / (s * SS)
        g.d.line([(x * SS, y * SS + i), ((x + s) * SS, y * SS + i)], fill=mix(top, bottom, t) + (255,))
    mask = Canvas(c.w, c.h)
    mask.rrect(x, y, x + s, y + s, s * 0.26, fill="white")
    g.img.putalpha(mask.img.getchannel("A"))
    c.composite(g)
    icon_goggles(c, x + s / 2, y + s * 0.52, s * 0.8, "white", mix("amber_dark", "column", 0.2))


def r_logo(spec, k, state, w, h):
    c = Canvas(w, h)
    logo_mark(c, 14, 11, 28)
    img = c.finish()
    x = 50
    parts = [("Brisel", "white"), ("VR", "amber"), ("助手", "white")]
    for text, col in parts:
        draw_text(img, text, 16, col, centre=(x, 25), anchor="lm", bold=0)
        x += text_width(text, 16)
    return img


NAV_BG = [None, (255, 255, 255, 16), (255, 255, 255, 26)]


def r_nav_item(spec, k, state, w, h):
    c = Canvas(w, h)
    if NAV_BG[k]:
        c.rect(0, 0, w, h, NAV_BG[k])
    if k == 2:
        c.rect(0, 0, 3, h, "amber")
    put_icon(c, spec["icon"], 44, h / 2, 20, ["nav", mix("nav", "white", 0.55), "amber"][k], 1.6)
    return c.finish()


def r_link_state(spec, k, state, w, h):
    c = Canvas(w, h)
    if k == 0:
        put_icon(c, "phone", 7, 9, 14, "disabled", 1.4)
    else:
        put_icon(c, "phone", 7, 9, 14, "amber", 1.4)
        c.arc(11, 5, 3.4, 270, 360, "amber", 1.3)
        c.arc(11, 5, 6.2, 270, 360, "amber", 1.3)
    return c.finish()


def r_drop_box(spec, k, state, w, h):
    c = Canvas(w, h)
    c.rrect(0, 0, w, h, 3, fill="white")
    c.rrect(0, 0, w, h, 3, outline="line" if k == 0 else "amber", width=1)
    cx, cy, a = w - 11, h / 2, 3.2
    pts = [(cx - a, cy - a / 2), (cx, cy + a / 2), (cx + a, cy - a / 2)]
    if k == 1:
        pts = [(cx - a, cy + a / 2), (cx, cy - a / 2), (cx + a, cy + a / 2)]
    c.line(pts, "grey" if k == 0 else "amber", 1.3)
    return c.finish()


def r_tile(spec, k, state, w, h):
    c = Canvas(w, h)
    c.rrect(0, 0, w, h, 6, fill="white")
    if spec.get("selected"):
        c.rrect(0, 0, w, h, 6, fill=rgba("amber", 0.08))
        c.rrect(0, 0, w, h, 6, outline="amber", width=1.5)
    else:
        c.rrect(0, 0, w, h, 6, outline=mix("line", "page", 0.4), width=1)
    return c.finish()


def r_check_box(spec, k, state, w, h):
    c = Canvas(w, h)
    if k == 2:
        c.rrect(0.5, 0.5, w - 0.5, h - 0.5, 3, fill="amber")
        put_icon(c, "tick", w / 2, h / 2 + 0.3, 10, "white", 1.6)
    else:
        c.rrect(0.5, 0.5, w - 0.5, h - 0.5, 3, fill="white")
        c.rrect(0.5, 0.5, w - 0.5, h - 0.5, 3, outline="amber" if k == 1 else "C3C5C7",
                width=1)
    return c.finish()


def r_radio(spec, k, state, w, h):
    c = Canvas(w, h)
    if k == 2:
        c.ellipse(w / 2, h / 2, w / 2 - 0.5, fill="amber")
        c.ellipse(w / 2, h / 2, 2.6, fill="white")
    else:
        c.ellipse(w / 2, h / 2, w / 2 - 0.5, fill="white")
        c.ellipse(w / 2, h / 2, w / 2 - 0.5, outline="amber" if k == 1 else "C3C5C7", width=1)
    return c.finish()


def r_no_video(spec, k, state, w, h):
    img = Image.new("RGBA", (w, h))
    top, bottom = rgb("5A595F"), rgb("36353A")
    px = img.load()
    for y in range(h):
        for x in range(w):
            t = (y / h) * 0.8 + (x / w) * 0.2
            px[x, y] = mix(top, bottom, t) + (255,)
    c = Canvas(w, h)
    c.ellipse(w / 2, h / 2 - 4, 15, outline=(255, 255, 255, 120), width=1.5)
    put_icon(c, "play", w / 2 + 1.5, h / 2 - 4, 17, (255, 255, 255, 150))
    img.alpha_composite(c.finish())
    draw_text(img, "暂无预览", 10, (255, 255, 255, 130), centre=(w / 2, h - 12))
    return img


def badge_base(spec, w, h):
    c = Canvas(w, h)
    c.rrect(0, 0, w, h, h / 2, fill=rgba(spec["fill"], 0.92))
    return c


def r_badge(spec, k, state, w, h):
    c = badge_base(spec, w, h)
    if spec["text"] == "转码中":
        c.arc(9, h / 2, 3.2, -90, 180, "white", 1.3)
        img = c.finish()
        draw_text(img, spec["text"], 11, "white", centre=(31, h / 2 + 0.5))
        return img
    img = c.finish()
    draw_text(img, spec["text"], 11, "white", centre=(w / 2, h / 2 + 0.5))
    return img


def gif_frames_badge(spec, w, h):
    frames = []
    n = spec["frames"]
    for i in range(n):
        c = badge_base(spec, w, h)
        a0 = i * 360 / n
        c.arc(9, h / 2, 3.2, a0, a0 + 270, "white", 1.3)
        img = c.finish()
        draw_text(img, spec["text"], 11, "white", centre=(31, h / 2 + 0.5))
        frames.append(img)
    return frames


def spinner_frame(w, h, col, angle, s):
    c = Canvas(w, h)
    put_icon(c, "convert", w / 2, h / 2, s, col, 1.6 if s > 16 else 1.4, rotate=angle)
    return c.finish()


def r_status_dot(spec, k, state, w, h):
    c = Canvas(w, h)
    c.ellipse(w / 2, h / 2, w / 2, fill=spec["fill"])
    put_icon(c, spec["icon"], w / 2, h / 2 + (0.3 if spec["icon"] == "tick" else 0), w * 0.72,
             "white", 1.5 if w > 14 else 1.3)
    return c.finish()


def r_title_close(spec, k, state, w, h):
    c = Canvas(w, h)
    if k == 1:
        c.rrect(2, 2, w - 2, h - 2, 4, fill=(255, 255, 255, 30))
    elif k == 2:
        c.rrect(2, 2, w - 2, h - 2, 4, fill="amber_dark")
    col = ["D3D3D4", "white", "white", "8A898E"][k]
    put_icon(c, "close", w / 2, h / 2, 14, col, 1.6)
    return c.finish()


def r_update_header(spec, k, state, w, h):
    img = Image.new("RGBA", (w, h))
    a, b = rgb(mix("amber", "white", 0.12)), rgb("amber_dark")
    px = img.load()
    for y in range(h):
        for x in range(w):
            t = min(1.0, max(0.0, (x / w) * 0.7 + (y / h) * 0.3))
            px[x, y] = mix(a, b, t) + (255,)
    c = Canvas(w, h)
    c.ellipse(w - 40, 10, 90, fill=(255, 255, 255, 18))
    c.ellipse(w - 10, 130, 60, fill=(255, 255, 255, 14))
    c.ellipse(30, 150, 70, fill=(255, 255, 255, 12))
    c.ellipse(w - 92, 70, 34, fill=(255, 255, 255, 235))
    col = rgb("amber_dark")
    c.line([(w - 92, 86), (w - 92, 54)], col, 4)
    c.line([(w - 106, 67), (w - 92, 53), (w - 78, 67)], col, 4)
    img.alpha_composite(c.finish())
    draw_text(img, "发现新版本", 24, "white", centre=(40, 58), anchor="lm")
    draw_text(img, "BriselVR助手 正在为你准备更好的体验", 13, (255, 255, 255, 215),
              centre=(40, 90), anchor="lm")
    return img


def r_update_background(spec, k, state, w, h):
    c = Canvas(w, h)
    c.rrect(0, 0, w, h, 9, fill="white")
    c.rrect(0, 0, w, h, 9, outline="divider", width=1)
    return c.finish()


RECIPES = {
    "shadow_edge": r_shadow_edge, "shadow_ring": r_shadow_ring, "toast": r_toast,
    "icon": r_icon, "tick_mark": r_tick_mark, "glyph_button": r_glyph_button, "glyph": r_glyph,
    "push_button": r_push_button, "tool_button": r_tool_button, "empty_hint": r_empty_hint,
    "window_outline": r_window_outline, "logo": r_logo, "nav_item": r_nav_item,
    "link_state": r_link_state, "drop_box": r_drop_box, "tile": r_tile,
    "check_box": r_check_box, "radio": r_radio, "no_video": r_no_video, "badge": r_badge,
    "status_dot": r_status_dot, "title_close": r_title_close,
    "update_header": r_update_header, "update_background": r_update_background,
}


# ----------------------------------------------------------------------------- animated GIFs

def save_gif(frames, path, delay_ms, matte):
    """Saves RGBA frames as a looping GIF with one transparent index; half-covered edge
    pixels are blended over `matte`, the colour the animation is shown on."""
    out = []
    for f in frames:
        base = Image.new("RGBA", f.size, matte + (255,))
        flat = Image.alpha_composite(base, f).convert("RGB")
        p = flat.quantize(colors=255, method=Image.Quantize.MEDIANCUT, dither=Image.Dither.NONE)
        palette = p.getpalette()[:255 * 3]
        palette += [0] * (255 * 3 - len(palette)) + list(matte)
        p.putpalette(palette)
        alpha = f.getchannel("A")
        pp, ap = p.load(), alpha.load()
        for y in range(f.height):
            for x in range(f.width):
                if ap[x, y] < 96:
                    pp[x, y] = 255
        p.info["transparency"] = 255
        out.append(p)
    out[0].save(path, save_all=True, append_images=out[1:], duration=delay_ms, loop=0,
                disposal=2, transparency=255, optimize=False)


def make_gif(spec, path):
    w, h = spec["cell"]
    n, delay = spec["frames"], spec["delay_ms"]
    recipe = spec["recipe"]
    if recipe == "badge_gif":
        save_gif(gif_frames_badge(spec, w, h), path, delay, mix("column", "black", 0.2))
    elif recipe == "small_spinner_gif":
        save_gif([spinner_frame(w, h, rgb("amber"), i * 360 / n, 14) for i in range(n)], path,
                 delay, rgb("page"))
    elif recipe == "nav_spinner_gif":
        frames = []
        for i in range(n):
            strip = Image.new("RGBA", (w, h * 2))
            strip.alpha_composite(spinner_frame(w, h, rgb("nav"), i * 360 / n, 20), (0, 0))
            strip.alpha_composite(spinner_frame(w, h, rgb("amber"), i * 360 / n, 20), (0, h))
            frames.append(strip)
        save_gif(frames, path, delay, rgb("column"))
    else:
        raise SystemExit(f"unknown GIF recipe {recipe}")


# ----------------------------------------------------------------------------- extras

def make_app_icon(size):
    c = Canvas(size, size)
    logo_mark(c, 0, 0, size)
    return c.finish()


def make_hand_cursor(size):
    c = Canvas(size, size)
    o = [(4, 2.5)]
    o += [(6.5 + 2.5 * math.cos(math.radians(a)), 2.5 + 2.5 * math.sin(math.radians(a)))
          for a in range(180, 361, 15)]
    o += [(9, 9)]
    for x0, x1, top in ((9, 12, 8.2), (12, 15, 9.0), (15, 17.6, 10.2)):
        mid, r = (x0 + x1) / 2, (x1 - x0) / 2
        o += [(mid + r * math.cos(math.radians(a)), top + r + r * math.sin(math.radians(a)))
              for a in range(180, 361, 30)]
    o += [(17.6, 18.5), (16.6, 21.5), (15, 24), (8, 24), (5.6, 21.2), (1.6, 15.8)]
    o += [(1.2 + 1.2 * math.cos(math.radians(a)), 14.4 + 1.2 * math.sin(math.radians(a)))
          for a in range(135, 330, 30)]
    o += [(4, 15.2)]
    c.polygon(o, "white")
    c.line(o + [o[0]], "black", 1.0, caps=False)
    c.line([(12, 10.2), (12, 13.5)], "black", 0.9)
    c.line([(15, 11), (15, 14)], "black", 0.9)
    return c.finish()


# ----------------------------------------------------------------------------- main

def make_file(spec, root):
    path = os.path.join(root, "SkinRes", spec["path"])
    os.makedirs(os.path.dirname(path), exist_ok=True)
    if spec["path"].endswith(".gif"):
        make_gif(spec, path)
        return path
    w, h = spec["cell"]
    states = spec.get("states", ["normal"])
    across = spec.get("across", False)
    sheet = Image.new("RGBA", (w * len(states), h) if across else (w, h * len(states)))
    for k, name in enumerate(states):
        cell = RECIPES[spec["recipe"]](spec, k, name, w, h)
        sheet.alpha_composite(cell, (k * w, 0) if across else (0, k * h))
    sheet.save(path, optimize=True)
    return path


def main():
    root = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "resources")
    with open(os.path.join(HERE, "skin.toml"), "rb") as f:
        description = tomllib.load(f)
    PALETTE.update(description["palette"])
    PALETTE.setdefault("black", "000000")
    made = [make_file(spec, root) for spec in description["file"]]
    for extra in description["extra"]:
        if extra["recipe"] == "app_icon":
            for size in extra["sizes"]:
                out = os.path.join(root, extra["path"].format(size=size))
                os.makedirs(os.path.dirname(out), exist_ok=True)
                make_app_icon(size).save(out, optimize=True)
                made.append(out)
        elif extra["recipe"] == "hand_cursor":
            out = os.path.join(root, extra["path"])
            os.makedirs(os.path.dirname(out), exist_ok=True)
            make_hand_cursor(extra["size"]).save(out, optimize=True)
            made.append(out)
    print(f"{len(made)} files written below {os.path.normpath(root)}")


if __name__ == "__main__":
    main()
