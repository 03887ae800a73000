"""A chain written with a shaper, read by OpenColorIO.

A CLF file whose chain starts with a steep per-channel curve (a cube root, as
a log curve is) and goes on with a matrix and a cube is converted to every
format that holds a 1D table before its cube. OpenColorIO reads each written
file (the spi3d with its spi1d, as a colour config chains them) and the
source CLF; the written files must follow the source closely, where a plain
cube of the same size sampled from the source (written here) cannot follow
the curve's foot.
"""
import os

from interop_support import (
    InteropCase, cli, main, ocio_apply, ocio_file_processor, random_points, require_ocio, ramp_points, write_cube,
)
import interop_support as support

SIZE = 33
CURVE = 4096
MATRIX = ((0.9, 0.08, 0.02), (0.05, 0.9, 0.05), (0.02, 0.1, 0.88))


def write_source(path):
    lines = ['<?xml version="1.0" encoding="UTF-8"?>\n<ProcessList id="shaped" compCLFversion="3">\n',
             '<LUT1D inBitDepth="32f" outBitDepth="32f"><Array dim="%d 3">\n' % CURVE]
    for i in range(CURVE):
        y = (i / (CURVE - 1)) ** (1 / 3)
        lines.append("%.7f %.7f %.7f\n" % (y, y, y))
    lines.append('</Array></LUT1D>\n<Matrix inBitDepth="32f" outBitDepth="32f"><Array dim="3 3">\n')
    lines += ["%g %g %g\n" % row for row in MATRIX]
    lines.append('</Array></Matrix>\n<LUT3D inBitDepth="32f" outBitDepth="32f"><Array dim="%d %d %d 3">\n'
                 % (SIZE, SIZE, SIZE))
    step = SIZE - 1
    for r in range(SIZE):
        for g in range(SIZE):
            for b in range(SIZE):
                lines.append("%.7f %.7f %.7f\n" % ((r / step) ** 3, (g / step) ** 3, (b / step) ** 3))
    lines.append('</Array></LUT3D>\n</ProcessList>\n')
    with open(path, "w") as f:
        f.write("".join(lines))


class ChainWithShaper(InteropCase):

    def setUp(self):
        super().setUp()
        require_ocio(self)

    def test_formats_with_a_shaper_follow_the_chain(self):
        source = self.path("shaped.clf")
        write_source(source)
        points = random_points(300, 11) + ramp_points(101)
        expected = ocio_apply(ocio_file_processor(source, support.OCIO.INTERP_LINEAR), points)

        # The plain cube the same source gives without a shaper.
        indexes = [(r, g, b) for r in range(SIZE) for g in range(SIZE) for b in range(SIZE)]
        values = ocio_apply(ocio_file_processor(source, support.OCIO.INTERP_LINEAR),
                            [tuple(i / (SIZE - 1) for i in index) for index in indexes])
        plain = self.path("plain.cube")
        write_cube(plain, SIZE, dict(zip(indexes, values)))
        worst_plain, _ = support.max_difference(ocio_apply(ocio_file_processor(plain), points), expected)
        self.assertGreater(worst_plain, 1e-2)

        for name in ("shaped.cube", "out.clf", "shaped.csp", "shaped.spi3d"):
            with self.subTest(file=name):
                output = self.path(name)
                cli("convert", source, "-o", output)
                if name.endswith(".spi3d"):
                    shaper = output[:-len(".spi3d")] + ".spi1d"
                    self.assertTrue(os.path.exists(shaper))
                    group = support.OCIO.GroupTransform([
                        support.OCIO.FileTransform(src=shaper, interpolation=support.OCIO.INTERP_LINEAR),
                        support.OCIO.FileTransform(src=output, interpolation=support.OCIO.INTERP_LINEAR)])
                    processor = support.OCIO.Config.CreateRaw().getProcessor(group).getDefaultCPUProcessor()
                else:
                    processor = ocio_file_processor(output, support.OCIO.INTERP_LINEAR)
                worst = self.assertClose(ocio_apply(processor, points), expected, 2e-3, name, points)
                self.assertLess(worst * 10, worst_plain)


if __name__ == "__main__":
    main()
