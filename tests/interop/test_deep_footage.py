"""Deep and scene-linear footage, checked against OpenColorIO's own chain.

Frames are made from a photograph with OpenColorIO's inverse chain (display
-> the footage space) and stored by oiiotool: a 16-bit S-Log3 /
S-Gamut3.Cine TIFF, a 10-bit LogC3 DPX and a half-float ACEScg OpenEXR.
`grade --footage` of each must equal OpenColorIO's forward chain in float on
the stored values (clamped to 0..1), followed by the look cube that `look`
writes, applied by OpenColorIO trilinearly in float: within one code value
at 16 bits (TIFF, and the DPX graded to a TIFF), one at 10 bits (the DPX
graded to a DPX) and 1e-3 (the EXR, written as half).

The look of the ACEScg footage is exported at 65 points with its shaper in
every format that holds one; OpenColorIO reads each file (FileTransform;
the spi1d + spi3d pair as a group) and applies it to the EXR's values. With
the neutral look the result must be within 5e-2 at most and 3e-3 on average
of our graded EXR, and a grey ramp from -8 to +8 stops around 0.18 must
stay monotonic through it (the shaper's -7..+7 stops clamp its two ends
flat) up to 1e-4: a trilinear cube mixes the saturated corners of a cell
into its diagonal (measured falls 5e-5; with the strong look, whose casts
bend greys, 1.7e-2, printed only).
With a strong look the cube of look(F) bends between its points where the
graded picture has F exact and the look at 33 points: measured on this
photograph max 0.11, mean 7e-3 (the figures are printed).
"""
import os
import shutil
import struct
import subprocess
import sys

from interop_support import (
    LOOK_OPTIONS, InteropCase, clamp01, cli, main, ocio_apply, ocio_file_processor, require_ffmpeg, require_ocio,
    run,
)
import interop_support as support

OIIOTOOL = shutil.which("oiiotool")
PHOTOGRAPH = "/usr/share/backgrounds/mate/nature/Garden.jpg"
WIDTH = 240
OUTPUT = "ACES-OUTPUT - ACES2065-1_to_CIE-XYZ-D65 - SDR-VIDEO_1.0"
DISPLAY = "DISPLAY - CIE-XYZ-D65_to_REC.1886-REC.709"
SHAPED_PROFILES = [("Cube 3D Davinci", "cube"), ("Academy/ASC CLF", "clf"), ("Cinespace 3D", "csp"),
                   ("Sony Imageworks spi3d", "spi3d")]


def chain(builtin, inverse=False):
    ocio = support.OCIO
    group = ocio.GroupTransform()
    for style in ([builtin] if builtin else []) + [OUTPUT, DISPLAY]:
        group.appendTransform(ocio.BuiltinTransform(style))
    if inverse:
        group.setDirection(ocio.TRANSFORM_DIR_INVERSE)
    return ocio.Config.CreateRaw().getProcessor(group).getDefaultCPUProcessor()


def read_pixels(path):
    """The picture's values as oiiotool reads them, normalised floats, in rows
    from the top; (header line, pixels)."""
    done = run([OIIOTOOL, "--dumpdata", path])
    lines = done.stdout.splitlines()
    pixels = []
    for line in lines[1:]:
        if line.strip().startswith("Pixel ("):
            values = line.split(":", 1)[1]
            if "(" in values:
                values = values[values.index("(") + 1:values.rindex(")")]
            pixels.append(tuple(float(v) for v in values.split()[:3]))
    return lines[0], pixels


def write_ppm16(path, width, height, pixels):
    with open(path, "wb") as f:
        f.write(b"P6\n%d %d\n65535\n" % (width, height))
        f.write(b"".join(struct.pack(">3H", *p) for p in pixels))


def write_pfm(path, width, height, pixels):
    """A float PFM (rows stored from the bottom)."""
    with open(path, "wb") as f:
        f.write(b"PF\n%d %d\n-1.0\n" % (width, height))
        for y in range(height - 1, -1, -1):
            f.write(b"".join(struct.pack("<3f", *p) for p in pixels[y * width:(y + 1) * width]))


def code(v, levels):
    return int(round(min(1.0, max(0.0, v)) * levels))


class DeepFootageAgainstOpenColorIO(InteropCase):

    def setUp(self):
        super().setUp()
        require_ocio(self)
        require_ffmpeg(self)
        if not OIIOTOOL:
            self.skipTest("oiiotool (openimageio-tools) is not installed")
        if not os.path.exists(PHOTOGRAPH):
            self.skipTest("%s (Debian mate-backgrounds) is not installed" % PHOTOGRAPH)
        done = subprocess.run([support.FFMPEG, "-v", "error", "-nostdin", "-i", PHOTOGRAPH, "-vf",
                               "scale=%d:-2" % WIDTH, "-f", "rawvideo", "-pix_fmt", "rgb24", "-"], capture_output=True)
        self.assertEqual(done.returncode, 0, done.stderr)
        raw = done.stdout
        self.height = len(raw) // (3 * WIDTH)
        self.display = [tuple(c / 255.0 for c in raw[i:i + 3]) for i in range(0, 3 * WIDTH * self.height, 3)]
        self.look = self.path("look.cube")
        cli("look", self.reference_picture(), "-o", self.look, "--profile", "Cube 3D Davinci", *LOOK_OPTIONS)

    def frame(self, name, builtin, depth):
        """The photograph in the footage space, stored at depth; the stored values."""
        encoded = ocio_apply(chain(builtin, inverse=True), self.display)
        source = self.path(name + (".pfm" if depth in ("half", "float") else ".ppm"))
        if depth in ("half", "float"):
            write_pfm(source, WIDTH, self.height, encoded)
        else:
            write_ppm16(source, WIDTH, self.height, [tuple(code(c, 65535) for c in p) for p in encoded])
        path = self.path(name)
        run([OIIOTOOL, source, "-d", depth, "-o", path])
        _, stored = read_pixels(path)
        self.assertEqual(len(stored), WIDTH * self.height)
        return path, stored

    def expected(self, builtin, stored):
        shown = clamp01(ocio_apply(chain(builtin), stored))
        return ocio_apply(ocio_file_processor(self.look), shown)

    def graded(self, frame, output, key, options=LOOK_OPTIONS):
        cli("grade", self.reference_picture(), frame, "-o", output, "--footage", key, *options)
        return read_pixels(output)

    def compare_codes(self, got, want, levels, what):
        worst = max(abs(round(g * levels) - code(w, levels)) for p, q in zip(got, want) for g, w in zip(p, q))
        print("\n%s: largest difference %d code values at %d levels" % (what, worst, levels + 1), file=sys.stderr)
        self.assertLessEqual(worst, 1, what)

    def test_log_frames_at_16_and_10_bits_are_the_chain_then_the_look(self):
        tiff, stored = self.frame("slog3.tif", "SONY_SLOG3-SGAMUT3.CINE_to_ACES2065-1", "uint16")
        head, got = self.graded(tiff, self.path("slog3-graded.tif"), "slog3-sgamut3cine")
        self.assertIn("uint16 tiff", head)
        want = self.expected("SONY_SLOG3-SGAMUT3.CINE_to_ACES2065-1", stored)
        self.compare_codes(got, want, 65535, "16-bit S-Log3 TIFF")
        # The look did something: the grade is not the plain conversion.
        shown = clamp01(ocio_apply(chain("SONY_SLOG3-SGAMUT3.CINE_to_ACES2065-1"), stored))
        self.assertGreater(max(abs(a - b) for p, q in zip(got, shown) for a, b in zip(p, q)), 0.02)

        dpx, stored = self.frame("logc.dpx", "ARRI_ALEXA-LOGC-EI800-AWG_to_ACES2065-1", "uint10")
        self.assertGreater(len({round(p[1] * 1023) for p in stored}), 200)
        want = self.expected("ARRI_ALEXA-LOGC-EI800-AWG_to_ACES2065-1", stored)
        head, got = self.graded(dpx, self.path("logc-graded.dpx"), "arri-logc")
        self.assertIn("uint10 dpx", head)
        self.compare_codes(got, want, 1023, "10-bit LogC3 DPX as DPX")
        head, got = self.graded(dpx, self.path("logc-graded.tif"), "arri-logc")
        self.assertIn("uint16 tiff", head)
        self.compare_codes(got, want, 65535, "10-bit LogC3 DPX as 16-bit TIFF")

    def test_acescg_exr_is_graded_and_its_shaped_luts_agree_in_opencolorio(self):
        exr, stored = self.frame("acescg.exr", "ACEScg_to_ACES2065-1", "half")
        self.assertGreater(max(c for p in stored for c in p), 1.0)  # linear values beyond 1
        head, got = self.graded(exr, self.path("acescg-graded.exr"), "acescg")
        self.assertIn("half openexr", head)
        want = self.expected("ACEScg_to_ACES2065-1", stored)
        worst = max(abs(g - w) for p, q in zip(got, want) for g, w in zip(p, q))
        print("\nhalf ACEScg EXR: largest difference %.3g" % worst, file=sys.stderr)
        self.assertLessEqual(worst, 1e-3)

        # Grey from -8 to +8 stops around 0.18, 32 steps a stop.
        ramp = [(v, v, v) for v in (0.18 * 2 ** (i / 32.0) for i in range(-8 * 32, 8 * 32 + 1))]
        for profile, extension in SHAPED_PROFILES:
            with self.subTest(profile=profile):
                # The neutral look (Color Gain 0): what the shaper and the
                # 65-point cube cost on the output transform alone.
                processor, got = self.shaped(exr, profile, extension, ["--gain", "0"])
                largest, mean = self.agreement(processor, stored, got, profile + ", neutral look")
                self.assertLessEqual(largest, 5e-2)
                self.assertLessEqual(mean, 3e-3)
                self.assertLessEqual(self.largest_fall(processor, ramp, profile + ", neutral look"), 1e-4)
                # A strong look bends colours more between the grid points:
                # the cube of look(F) is further from F then the 33-point look.
                processor, got = self.shaped(exr, profile, extension, LOOK_OPTIONS)
                largest, mean = self.agreement(processor, stored, got, profile + ", strong look")
                self.assertLessEqual(largest, 0.15)
                self.assertLessEqual(mean, 1.5e-2)
                # Printed only: the look's own casts need not keep greys monotonic.
                self.largest_fall(processor, ramp, profile + ", strong look")

    def largest_fall(self, processor, ramp, what):
        """How far any channel goes down along the ramp (0 for a monotonic one);
        the ramp must also rise from near black to near white."""
        through = ocio_apply(processor, ramp)
        self.assertLess(max(through[0]), 0.02, what)
        self.assertGreater(min(through[-1]), 0.9, what)
        fall = max(0.0, max(through[i - 1][c] - through[i][c] for i in range(1, len(through)) for c in range(3)))
        print("\n%s: largest fall along the grey ramp %.2g" % (what, fall), file=sys.stderr)
        return fall

    def shaped(self, exr, profile, extension, options):
        """OpenColorIO's processor of the 65-point shaped look for ACEScg, and
        our graded EXR with the same options."""
        tag = "neutral" if options == ["--gain", "0"] else "look"
        # A name of its own each time: OpenColorIO caches a file by its path.
        path = self.path("%s-%s.%s" % (tag, extension, extension))
        cli("look", self.reference_picture(), "-o", path, "--profile", profile, "--size", "65",
            "--footage", "acescg", *options)
        if extension == "spi3d":
            processor = self.pair_processor(path[:-len(extension)] + "spi1d", path)
        else:
            processor = ocio_file_processor(path)
            with open(path) as f:
                self.assertIn("shaper: log2, -7 to +7 stops around 0.18 (linear 0.00140625 to 23.04)", f.read())
        _, got = self.graded(exr, self.path("%s-graded-%s.exr" % (tag, extension)), "acescg", options)
        return processor, got

    def agreement(self, processor, stored, got, what):
        read = ocio_apply(processor, stored)
        differences = [abs(a - b) for p, q in zip(read, got) for a, b in zip(p, q)]
        largest, mean = max(differences), sum(differences) / len(differences)
        print("\n%s: shaped LUT in OpenColorIO vs our graded EXR: max %.3g, mean %.3g" % (what, largest, mean),
              file=sys.stderr)
        return largest, mean

    def pair_processor(self, shaper, cube):
        ocio = support.OCIO
        group = ocio.GroupTransform()
        group.appendTransform(ocio.FileTransform(src=shaper, interpolation=ocio.INTERP_LINEAR))
        group.appendTransform(ocio.FileTransform(src=cube, interpolation=ocio.INTERP_LINEAR))
        return ocio.Config.CreateRaw().getProcessor(group).getDefaultCPUProcessor()


if __name__ == "__main__":
    main()
