"""Hald CLUT pictures against ImageMagick.

* A look exported with `ombrane-cli look --profile "Hald CLUT"` (16-bit PNG,
  level 8: a 64-point cube on 512 x 512 pixels) grades pictures through
  ImageMagick's `-hald-clut` within one code value of `ombrane-cli apply`
  with the same file.
* The identity Hald pictures ImageMagick makes (`hald:8`, at 8 and 16 bits)
  read as the identity, within one step of their depth.
* Where darktable is installed, its "lut 3D" module grades with our Hald
  picture within one code value of `ombrane-cli apply` when it interpolates
  trilinearly as we do; with its default, tetrahedral, the two ways of
  interpolating differ by up to four on saturated colours.
"""
import os
import shutil
import struct
import subprocess

from interop_support import (
    FLOAT_SLACK, InteropCase, cli, export_look, grid_points, main, make_test_pixels, our_lookup,
    pixel_differences, random_points, read_bmp, run, write_bmp,
)

# ImageMagick itself, not whatever else answers to the name on the PATH.
CONVERT = "/usr/bin/convert" if os.path.exists("/usr/bin/convert") else shutil.which("convert")


DARKTABLE = shutil.which("darktable-cli")

# A sidecar whose history holds darktable's "lut 3D" module alone.
DARKTABLE_SIDECAR = """<?xml version="1.0" encoding="UTF-8"?>
<x:xmpmeta xmlns:x="adobe:ns:meta/">
 <rdf:RDF xmlns:rdf="http://www.w3.org/1999/02/22-rdf-syntax-ns#">
  <rdf:Description rdf:about="" xmlns:darktable="http://darktable.sf.net/"
   darktable:xmp_version="5" darktable:auto_presets_applied="1" darktable:history_end="1">
   <darktable:history><rdf:Seq>
    <rdf:li darktable:num="0" darktable:operation="lut3d" darktable:enabled="1"
     darktable:modversion="3" darktable:params="%s" darktable:multi_name="" darktable:multi_priority="0"/>
   </rdf:Seq></darktable:history>
  </rdf:Description>
 </rdf:RDF>
</x:xmpmeta>
"""


def darktable_sidecar(hald_name, interpolation):
    """The module's parameters (version 3): the file name within its LUT
    folder, the colour space (0, sRGB), the interpolation (0 tetrahedral,
    1 trilinear), no compressed LUT, no LUT name."""
    params = hald_name.encode().ljust(512, b"\0") + struct.pack("<iii", 0, interpolation, 0) + bytes(2048 * 6 + 128)
    return DARKTABLE_SIDECAR % params.hex()


def magick_available():
    if CONVERT is None:
        return False
    done = subprocess.run([CONVERT, "-version"], capture_output=True, text=True)
    return done.returncode == 0 and "ImageMagick" in done.stdout


class HaldClutWithImageMagick(InteropCase):

    def setUp(self):
        super().setUp()
        if not magick_available():
            self.skipTest("ImageMagick's convert is not installed")

    def test_imagemagick_grades_like_apply(self):
        hald = export_look(self.reference_picture(), self.path("look.png"), "Hald CLUT")
        info, _ = our_lookup(hald, [(0.5, 0.5, 0.5)])
        self.assertEqual((info["kind"], info["cube"]), (1, 64), "the Hald picture read as %r" % info)
        pictures = [self.reference_picture()]
        pictures.append(self.path("colours.bmp"))
        write_bmp(pictures[-1], *make_test_pixels(96, 64))
        for picture in pictures:
            with self.subTest(picture=os.path.basename(picture)):
                ours = self.path("ours.bmp")
                cli("apply", hald, picture, "-o", ours)
                theirs = self.path("theirs.bmp")
                run([CONVERT, picture, hald, "-hald-clut", "-type", "TrueColor", "BMP3:" + theirs])
                _, _, our_pixels = read_bmp(ours)
                _, _, their_pixels = read_bmp(theirs)
                self.assertEqual(len(our_pixels), len(their_pixels))
                histogram = pixel_differences(our_pixels, their_pixels)
                print("%s: pixels by largest channel difference %r" % (os.path.basename(picture), histogram))
                self.assertLessEqual(max(histogram), 1, "ImageMagick's grading against ours")

    def test_identity_from_imagemagick_reads_as_identity(self):
        for depth in (8, 16):
            with self.subTest(depth=depth):
                path = self.path("identity%d.png" % depth)
                run([CONVERT, "hald:8", "-depth", str(depth), path])
                points = grid_points(64)
                info, values = our_lookup(path, points)
                self.assertEqual((info["kind"], info["cube"]), (1, 64))
                # ImageMagick rounds its 16-bit values down to 8 bits, so
                # the 8-bit picture is up to one step off the identity.
                bound = 1.0 / (2 ** depth - 1) + FLOAT_SLACK
                self.assertClose(values, points, bound, "hald:8 at %d bits" % depth, points)
                _, off_grid = our_lookup(path, random_points(300, seed=8))
                self.assertClose(off_grid, random_points(300, seed=8), bound, "off the grid")


class HaldClutWithDarktable(InteropCase):

    def setUp(self):
        super().setUp()
        if DARKTABLE is None or not magick_available():
            self.skipTest("darktable-cli (or ImageMagick's convert) is not installed")

    def test_darktable_grades_like_apply(self):
        hald = export_look(self.reference_picture(), self.path("look.png"), "Hald CLUT")
        write_bmp(self.path("colours.bmp"), *make_test_pixels(96, 64))
        source = self.path("colours.png")
        run([CONVERT, self.path("colours.bmp"), "PNG24:" + source])
        ours = self.path("ours.bmp")
        cli("apply", hald, source, "-o", ours)
        for interpolation, bound in ((1, 1), (0, 4)):
            with self.subTest(interpolation=interpolation):
                sidecar = self.path("colours%d.xmp" % interpolation)
                with open(sidecar, "w") as f:
                    f.write(darktable_sidecar(os.path.basename(hald), interpolation))
                graded = self.path("darktable%d.png" % interpolation)
                run([DARKTABLE, source, sidecar, graded, "--core",
                     "--configdir", self.path("darktable-config%d" % interpolation),
                     "--conf", "plugins/darkroom/lut3d/def_path=" + self.folder])
                theirs = self.path("theirs%d.bmp" % interpolation)
                run([CONVERT, graded, "-type", "TrueColor", "BMP3:" + theirs])
                histogram = pixel_differences(read_bmp(ours)[2], read_bmp(theirs)[2])
                print("interpolation %d: pixels by largest channel difference %r" % (interpolation, histogram))
                self.assertLessEqual(max(histogram), bound, "darktable's grading against ours")


if __name__ == "__main__":
    main()
