"""The formats added after the first 31, against OpenColorIO.

* Our CLF, spi3d and Cinespace 3D writers (a look exported with
  `ombrane-cli look`) and our spi1d and Cinespace 1D writers (a curve
  converted with `ombrane-cli convert`) are read by OpenColorIO; its values
  and our own lookup of the same file (lut_eval) agree within its 32-bit
  float arithmetic at every grid point or entry and at 300 random colours.
* Files OpenColorIO writes (`ociobakelut` as CLF and as Cinespace,
  `ociomakeclf` with a cube, with a curve and with colour-space matrices
  around the cube) are read by us with the values OpenColorIO gives.
* ffmpeg's lut3d filter grades a picture with our Cinespace 3D file within
  one code value of `ombrane-cli apply`.
* A Cinespace file with a pre-LUT that is not the identity: our reader
  bakes it into the cube, so at our grid points we give what OpenColorIO
  gives there. The pre-LUTs have two points a channel: OpenColorIO puts a
  spline through longer pre-LUTs, which we follow linearly.
"""
import random

from interop_support import (
    FLOAT_SLACK, InteropCase, cli, export_look, ffmpeg_grade, grid_points, main, make_test_pixels, ocio_apply,
    ocio_file_processor, our_lookup, pixel_differences, ramp_points, random_points, read_bmp, require_ffmpeg,
    require_ocio, require_ociobakelut, run, write_bmp, write_cube,
)

RANDOM_COLOURS = 300

# (profile, file name): the 3D writers, at the look's default of 33 points.
WRITERS_3D = [
    ("Academy/ASC CLF", "look.clf"),
    ("Sony Imageworks spi3d", "look.spi3d"),
    ("Cinespace 3D", "look.csp"),
]
WRITERS_1D = [
    ("Sony Imageworks spi1d", "curve.spi1d"),
    ("Cinespace 1D", "curve.csp"),
]
CURVE_LENGTH = 1024


def curve(x):
    return (x ** 0.6, x * x, 0.1 + 0.8 * x)


def write_curve_source(path):
    lines = ["LUT_1D_SIZE %d" % CURVE_LENGTH]
    for i in range(CURVE_LENGTH):
        lines.append("%.6f %.6f %.6f" % curve(i / (CURVE_LENGTH - 1)))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return path


def random_table(size, seed):
    rng = random.Random(seed)
    return {(r, g, b): (rng.random(), rng.random(), rng.random())
            for r in range(size) for g in range(size) for b in range(size)}


class OcioReadsOurAddedFormats(InteropCase):

    def setUp(self):
        super().setUp()
        require_ocio(self)

    def compare(self, path, points, what):
        _, ours = our_lookup(path, points)
        peer = ocio_apply(ocio_file_processor(path), points)
        worst = self.assertClose(peer, ours, FLOAT_SLACK, what + ": OpenColorIO against our lookup", points)
        print("%s: largest difference %.2g" % (what, worst))

    def test_3d_writers(self):
        reference = self.reference_picture()
        points = grid_points(33) + random_points(RANDOM_COLOURS, seed=33)
        for profile, name in WRITERS_3D:
            with self.subTest(profile=profile):
                path = export_look(reference, self.path(name), profile)
                info, _ = our_lookup(path, points[:1])
                self.assertEqual((info["kind"], info["cube"]), (1, 33), "%s read as %r" % (name, info))
                self.compare(path, points, profile)

    def test_1d_writers(self):
        source = write_curve_source(self.path("source.cube"))
        points = ramp_points(CURVE_LENGTH) + random_points(RANDOM_COLOURS, seed=7)
        for profile, name in WRITERS_1D:
            with self.subTest(profile=profile):
                path = self.path(name)
                cli("convert", source, "-o", path, "--profile", profile)
                info, _ = our_lookup(path, points[:1])
                self.assertEqual((info["kind"], info["curve"]), (0, CURVE_LENGTH), "%s read as %r" % (name, info))
                self.compare(path, points, profile)


class FfmpegReadsOurCinespace(InteropCase):

    def test_cinespace_3d_grades_like_apply(self):
        require_ffmpeg(self)
        path = export_look(self.reference_picture(), self.path("look.csp"), "Cinespace 3D")
        picture = self.path("colours.bmp")
        write_bmp(picture, *make_test_pixels(96, 64))
        ours = self.path("ours.bmp")
        cli("apply", path, picture, "-o", ours)
        theirs, error = ffmpeg_grade(self.folder, picture, "look.csp")
        self.assertIsNotNone(theirs, error)
        histogram = pixel_differences(read_bmp(ours)[2], theirs)
        print("ffmpeg against apply, pixels by largest channel difference: %r" % histogram)
        self.assertLessEqual(max(histogram), 1)


class WeReadOcioFiles(InteropCase):

    def setUp(self):
        super().setUp()
        require_ociobakelut(self)

    def check(self, path, points, kind, what, bound=FLOAT_SLACK, processor=None):
        info, ours = our_lookup(path, points)
        self.assertEqual(info["kind"], kind, "%s read as %r" % (what, info))
        peer = ocio_apply(processor or ocio_file_processor(path), points)
        worst = self.assertClose(ours, peer, bound, what + ": our reader against OpenColorIO's", points)
        print("%s: largest difference %.2g" % (what, worst))
        return info

    def test_ociobakelut_clf_and_cinespace(self):
        # With a saturation the correction mixes the channels and is baked
        # into a cube; without one OpenColorIO bakes a CLF curve.
        correction = ["--slope", "1.2", "0.9", "0.8", "--offset", "0.02", "-0.01", "0.05",
                      "--power", "0.8", "1.1", "1.3"]
        for fmt, name in (("Academy/ASC Common LUT Format", "bake.clf"), ("cinespace", "bake.csp")):
            for size in (17, 33):
                with self.subTest(format=fmt, size=size):
                    path = self.path("%d-%s" % (size, name))
                    run(["ociobakelut"] + correction + ["--sat", "0.7", "--format", fmt, "--cubesize", str(size), path])
                    points = grid_points(size) + random_points(RANDOM_COLOURS, seed=size)
                    info = self.check(path, points, 1, "%s at %d points" % (fmt, size))
                    self.assertEqual(info["cube"], size)
        path = self.path("curve.clf")
        run(["ociobakelut"] + correction + ["--format", "Academy/ASC Common LUT Format", "--shapersize", "1024",
                                            "--cubesize", "33", path])
        info = self.check(path, ramp_points(1024) + random_points(RANDOM_COLOURS, seed=2), 0,
                          "Academy/ASC Common LUT Format curve")
        self.assertGreaterEqual(info["curve"], 2)

    def test_curve_then_cube_into_clf(self):
        # OpenColorIO's Truelight bake reads as a curve then a cube; our CLF
        # keeps both as a LUT1D before the LUT3D, which OpenColorIO reads
        # with our values.
        source = self.path("bake.cub")
        run(["ociobakelut", "--slope", "1.2", "0.9", "0.8", "--sat", "0.7", "--format", "truelight",
             "--cubesize", "17", source])
        path = self.path("both.clf")
        cli("convert", source, "-o", path, "--profile", "Academy/ASC CLF")
        with open(path) as f:
            text = f.read()
        self.assertLess(text.index("<LUT1D"), text.index("<LUT3D"))
        points = grid_points(17) + random_points(RANDOM_COLOURS, seed=17)
        self.check(path, points, 2, "curve then cube as CLF")
        _, source_values = our_lookup(source, points)
        _, clf_values = our_lookup(path, points)
        self.assertClose(clf_values, source_values, FLOAT_SLACK, "the CLF against its source", points)

    def test_ociomakeclf(self):
        table = random_table(9, seed=3)
        cube = self.path("source.cube")
        write_cube(cube, 9, table)
        plain = self.path("plain.clf")
        run(["ociomakeclf", cube, plain])
        # ociomakeclf asks for tetrahedral interpolation; we interpolate
        # every cube trilinearly, so we agree with OpenColorIO on the grid,
        # and off it once the file asks OpenColorIO for trilinear too.
        grid = grid_points(9)
        self.check(plain, grid, 1, "ociomakeclf cube, grid points")
        with open(plain) as f:
            text = f.read()
        self.assertIn('interpolation="tetrahedral"', text)
        trilinear = self.path("trilinear.clf")
        with open(trilinear, "w") as f:
            f.write(text.replace('interpolation="tetrahedral"', 'interpolation="trilinear"'))
        self.check(trilinear, random_points(RANDOM_COLOURS, seed=9), 1, "ociomakeclf cube, trilinear")

        # Colour-space matrices around the cube are baked at 33 points: at
        # those points we give what OpenColorIO computes through the chain.
        lmt = self.path("lmt.clf")
        run(["ociomakeclf", cube, lmt, "--csc", "ACEScg"])
        with open(lmt) as f:
            text = f.read()
        with open(lmt, "w") as f:
            f.write(text.replace('interpolation="tetrahedral"', 'interpolation="trilinear"'))
        info = self.check(lmt, grid_points(33), 1, "ociomakeclf with ACEScg matrices, grid points")
        self.assertEqual(info["cube"], 33)

        source = self.path("curve.cube")
        with open(source, "w") as f:
            f.write("LUT_1D_SIZE 256\n")
            for i in range(256):
                f.write("%.6f %.6f %.6f\n" % curve(i / 255))
        curve_clf = self.path("curve.clf")
        run(["ociomakeclf", source, curve_clf])
        info = self.check(curve_clf, ramp_points(256) + random_points(RANDOM_COLOURS, seed=4), 0,
                          "ociomakeclf curve")
        self.assertEqual(info["curve"], 256)

    def test_cinespace_pre_lut_is_baked(self):
        size = 9
        table = random_table(size, seed=11)
        lines = ["CSPLUTV100", "3D", "",
                 "2", "-0.25 1.5", "0 1",
                 "2", "0 1", "0.2 0.9",
                 "2", "0 1", "0 1", "",
                 "%d %d %d" % (size, size, size)]
        for b in range(size):
            for g in range(size):
                for r in range(size):
                    lines.append("%.6f %.6f %.6f" % table[(r, g, b)])
        path = self.path("prelut.csp")
        with open(path, "w") as f:
            f.write("\n".join(lines) + "\n")
        self.check(path, grid_points(size), 1, "Cinespace with a pre-LUT, at our grid points")


if __name__ == "__main__":
    main()
