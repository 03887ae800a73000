"""OpenColorIO's writers, read by us.

`ociobakelut` bakes a colour correction that mixes the channels (slope,
offset and power per channel, then a saturation change) into the formats it
writes and whose reader we have. Each baked file is read two ways:

* directly by our reader (lut_eval), compared with OpenColorIO reading the
  same file, at the grid points and at random colours: both must see the
  same table (FLOAT_SLACK);
* through `ombrane-cli convert` into a six-decimal Cube file, compared at the
  grid points with OpenColorIO's own evaluation of the correction: the
  difference may be the baked format's quantisation (integers at 12 bits for
  the 3dl family, six decimals for the cube family) plus the six decimals of
  the converted file. Integer formats cannot hold values outside 0..1, so
  there the expected values are clamped.
"""

from interop_support import (
    FLOAT_SLACK, SIX_DECIMALS, InteropCase, clamp01, cli, data_lines, grid_points,
    half_step, main, max_difference, ocio_apply, ocio_file_processor, our_lookup,
    ramp_points, random_points, require_ociobakelut, run,
)
import interop_support as support

SLOPE = (1.2, 0.9, 0.8)
OFFSET = (0.02, -0.01, 0.05)
POWER = (0.8, 1.1, 1.3)
SATURATION = 0.7


def bake_arguments(with_saturation=True):
    args = ["--slope"] + [str(v) for v in SLOPE]
    args += ["--offset"] + [str(v) for v in OFFSET]
    args += ["--power"] + [str(v) for v in POWER]
    if with_saturation:
        args += ["--sat", str(SATURATION)]
    return args


def correction_processor(with_saturation=True):
    """The same correction as ociobakelut builds it: one CDL step per option,
    applied in order, without clamping."""
    ocio = support.OCIO
    steps = []
    for setter, value in (("setSlope", SLOPE), ("setOffset", OFFSET), ("setPower", POWER)):
        step = ocio.CDLTransform()
        getattr(step, setter)(list(value))
        steps.append(step)
    if with_saturation:
        step = ocio.CDLTransform()
        step.setSat(SATURATION)
        steps.append(step)
    group = ocio.GroupTransform(steps)
    return ocio.Config.CreateRaw().getProcessor(group).getDefaultCPUProcessor()


# (ociobakelut format, file name, cube size, quantisation, integer format,
# the LUT kind our reader gives: 1 cube, 2 curve then cube). The Truelight
# baker always writes an "# InputLUT" table in front of the cube, which our
# reader keeps as the curve of a curve-then-cube LUT.
BAKES_3D = [
    ("iridas_cube", "iridas.cube", 33, SIX_DECIMALS, False, 1),
    ("resolve_cube", "resolve.cube", 33, SIX_DECIMALS, False, 1),
    ("flame", "flame17.3dl", 17, half_step(12), True, 1),
    ("flame", "flame33.3dl", 33, half_step(12), True, 1),
    ("lustre", "lustre17.3dl", 17, half_step(12), True, 1),
    ("lustre", "lustre33.3dl", 33, half_step(12), True, 1),
    ("truelight", "truelight17.cub", 17, SIX_DECIMALS, False, 2),
    ("truelight", "truelight33.cub", 33, SIX_DECIMALS, False, 2),
]


class WeReadOcioBakes(InteropCase):

    def setUp(self):
        super().setUp()
        require_ociobakelut(self)

    def bake(self, fmt, name, size, with_saturation=True, extra=()):
        path = self.path(name)
        run(["ociobakelut"] + bake_arguments(with_saturation) +
            ["--format", fmt, "--cubesize", str(size)] + list(extra) + [path])
        return path

    def test_3d_bakes(self):
        for fmt, name, size, quantisation, integers, kind in BAKES_3D:
            with self.subTest(format=fmt, size=size):
                path = self.bake(fmt, name, size)
                grid = grid_points(size)
                points = grid + random_points(300, seed=size)

                info, ours = our_lookup(path, points)
                self.assertEqual((info["kind"], info["cube"]), (kind, size), "%s read as %r" % (name, info))
                peer = ocio_apply(ocio_file_processor(path), points)
                tight = self.assertClose(ours, peer, FLOAT_SLACK,
                                         "%s: our reader against OpenColorIO's" % name, points)

                converted = self.path(name + ".converted.cube")
                cli("convert", path, "-o", converted, "--profile", "Cube 3D Davinci")
                info, values = our_lookup(converted, grid)
                self.assertEqual(info["cube"], size, "convert kept the size of %s" % name)
                expected = ocio_apply(correction_processor(), grid)
                if integers:
                    expected = clamp01(expected)
                quantised = self.assertClose(values, expected, quantisation + SIX_DECIMALS + FLOAT_SLACK,
                                             "%s converted, against OpenColorIO's correction" % name, grid)
                print("%s: against OpenColorIO's reading %.2g, converted against the correction %.2g"
                      % (name, tight, quantised))

    def test_1d_bake(self):
        """Without the saturation step the correction works on each channel
        alone, and the cube baker writes a 1D table (LUT_1D_SIZE)."""
        length = 1024
        path = self.bake("resolve_cube", "curve.cube", length, with_saturation=False)
        with open(path) as f:
            self.assertIn("LUT_1D_SIZE %d" % length, f.read())
        ramp = ramp_points(length)
        points = ramp + random_points(300, seed=1)

        info, ours = our_lookup(path, points)
        self.assertEqual((info["kind"], info["curve"]), (0, length), "read as %r" % info)
        peer = ocio_apply(ocio_file_processor(path), points)
        self.assertClose(ours, peer, FLOAT_SLACK, "our curve reader against OpenColorIO's", points)

        converted = self.path("curve.converted.cube")
        cli("convert", path, "-o", converted, "--profile", "Cube 1D")
        info, values = our_lookup(converted, ramp)
        self.assertEqual((info["kind"], info["curve"]), (0, length))
        expected = ocio_apply(correction_processor(with_saturation=False), ramp)
        self.assertClose(values, expected, 2 * SIX_DECIMALS + FLOAT_SLACK,
                         "curve converted, against OpenColorIO's correction", ramp)

    def test_resolve_cube_with_shaper(self):
        """With a shaper space, OpenColorIO's Resolve cube baker writes
        "LUT_1D_SIZE", "LUT_1D_INPUT_RANGE 0 1" and "LUT_3D_SIZE", then the
        1D table, then the cube. Our Cube 3D reader keeps the 1D table as the
        curve of a curve-then-cube LUT; both sides interpolate the shaper
        linearly and the cube trilinearly, so the lookups match within
        FLOAT_SLACK at the grid points, at random colours and along a fine
        grey ramp that crosses every shaper segment."""
        ocio = support.OCIO
        config = ocio.Config.CreateRaw()
        for name, transform in (("source", None), ("graded", self.correction_transform()),
                                ("shaper", ocio.ExponentTransform(value=[2.2, 2.2, 2.2, 1.0]))):
            space = ocio.ColorSpace(name=name)
            if transform is not None:
                space.setTransform(transform, ocio.COLORSPACE_DIR_FROM_REFERENCE)
            config.addColorSpace(space)
        baker = ocio.Baker()
        baker.setConfig(config)
        baker.setFormat("resolve_cube")
        baker.setInputSpace("source")
        baker.setTargetSpace("graded")
        baker.setShaperSpace("shaper")
        shaper, size = 64, 17
        baker.setShaperSize(shaper)
        baker.setCubeSize(size)
        path = self.path("shaped.cube")
        with open(path, "w") as f:
            f.write(baker.bake())

        values = []
        for line in data_lines(path):
            try:
                triple = tuple(float(v) for v in line.split())
            except ValueError:
                continue
            if len(triple) == 3:
                values.append(triple)
        self.assertEqual(len(values), shaper + size ** 3)
        with open(path) as f:
            self.assertIn("LUT_1D_SIZE %d" % shaper, f.read())

        ramp = [(i / 1000.0,) * 3 for i in range(1001)]
        points = grid_points(size) + random_points(300, seed=size) + ramp
        info, ours = our_lookup(path, points)
        self.assertEqual((info["name"], info["kind"], info["cube"], info["curve"]),
                         ("Cube 3D", 2, size, shaper), "shaped Resolve cube read as %r" % info)
        peer = ocio_apply(ocio_file_processor(path), points)
        tight = self.assertClose(ours, peer, FLOAT_SLACK,
                                 "our reading of the shaped Resolve cube against OpenColorIO's", points)
        print("shaped resolve cube: against OpenColorIO's reading %.2g" % tight)

        # The match is not a matter of course: the old reading, which took
        # the first N^3 data lines (shaper included) as the cube, lands far
        # from OpenColorIO at the grid points.
        grid = grid_points(size)
        old_reading = [values[(b * size + g) * size + r]
                       for r in range(size) for g in range(size) for b in range(size)]
        worst, _ = max_difference(old_reading, peer[:len(grid)])
        self.assertGreater(worst, 0.1)

    @staticmethod
    def correction_transform():
        ocio = support.OCIO
        step = ocio.CDLTransform()
        step.setSlope(list(SLOPE))
        step.setOffset(list(OFFSET))
        step.setPower(list(POWER))
        step.setSat(SATURATION)
        return step


if __name__ == "__main__":
    main()
