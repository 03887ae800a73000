"""Files that both OpenColorIO and we read but only others write: an
Iridas/Speedgrade .look, an ASC CDL .cc correction, and .cube files that
declare an input range other than 0..1. Both readers get the same file;
their lookups are compared.

The documents are written here from the published layouts of the two
formats (hex-encoded little-endian 32-bit floats in a <look><LUT> element,
red index fastest; slope, offset and power of a <ColorCorrection>).
"""
import random
import struct

from interop_support import (
    FLOAT_SLACK, OCIO, InteropCase, grid_points, main, max_difference, ocio_apply,
    ocio_file_processor, our_lookup, random_points, require_ocio,
)


def write_look(path, size, table):
    """A .look document holding table[(r, g, b)], red fastest."""
    words = []
    for b in range(size):
        for g in range(size):
            for r in range(size):
                words.append("".join(struct.pack("<f", c).hex() for c in table[(r, g, b)]))
    lines = ['<?xml version="1.0" ?>', "<look>", "  <shaders>", "    <base>",
             "      <visible>1</visible>", "    </base>", "  </shaders>", "  <LUT>",
             '    <size>"%d"</size>' % size, '    <data>"']
    lines += [" ".join(words[i:i + 4]) for i in range(0, len(words), 4)]
    lines += ['"</data>', "  </LUT>", "</look>"]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def write_cc(path, slope, offset, power, saturation=None):
    lines = ['<ColorCorrection id="shot 12">', "  <SOPNode>",
             "    <Slope>%s</Slope>" % " ".join(map(str, slope)),
             "    <Offset>%s</Offset>" % " ".join(map(str, offset)),
             "    <Power>%s</Power>" % " ".join(map(str, power)),
             "  </SOPNode>"]
    if saturation is not None:
        lines += ["  <SATNode>", "    <Saturation>%s</Saturation>" % saturation, "  </SATNode>"]
    lines.append("</ColorCorrection>")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


def f32(x):
    return struct.unpack("<f", struct.pack("<f", x))[0]


def cdl(point, slope, offset, power, saturation, weights):
    """Slope, offset and power per channel (nothing below 0 raised to a
    power), then saturation around a luma with the given weights."""
    out = []
    for x, s, o, p in zip(point, slope, offset, power):
        v = x * s + o
        out.append(v ** p if v > 0 else 0.0)
    luma = sum(w * c for w, c in zip(weights, out))
    return tuple(c * saturation + (1 - saturation) * luma for c in out)


SLOPE = (1.1, 0.9, 1.05)
OFFSET = (0.02, 0.01, 0.03)
POWER = (0.9, 1.1, 1.2)
MEAN = (1 / 3, 1 / 3, 1 / 3)
REC709 = (0.2126, 0.7152, 0.0722)

# Our CDL reader computes in 32-bit floats like the peer; a power of a
# float32 differs between two maths libraries by a few units in the last
# place, far below this bound.
CDL_SLACK = 2e-6


def write_cube(path, size, table, header, one_d=False):
    """A .cube text: the header lines, then table[(r, g, b)] red fastest
    (or table[i] for a curve)."""
    lines = list(header)
    if one_d:
        lines += ["%.10f %.10f %.10f" % table[i] for i in range(size)]
    else:
        lines += ["%.10f %.10f %.10f" % table[(r, g, b)]
                  for b in range(size) for g in range(size) for r in range(size)]
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")


class SharedInputs(InteropCase):

    def setUp(self):
        super().setUp()
        require_ocio(self)

    def test_look_file(self):
        size = 9
        rng = random.Random(11)
        table = {(r, g, b): (f32(rng.random()), f32(rng.random()), f32(rng.random()))
                 for r in range(size) for g in range(size) for b in range(size)}
        path = self.path("grade.look")
        write_look(path, size, table)
        points = grid_points(size) + random_points(300, seed=3)
        info, ours = our_lookup(path, points)
        self.assertEqual((info["name"], info["cube"]), ("Adobe Speedgrade Look 3D", size))
        expected = [table[(r, g, b)] for r in range(size) for g in range(size) for b in range(size)]
        self.assertClose(ours[:size ** 3], expected, 1e-12, "our reading of the look's grid", points)
        peer = ocio_apply(ocio_file_processor(path), points)
        self.assertClose(peer, ours, FLOAT_SLACK, "OpenColorIO against our reading", points)

    def test_cdl_without_saturation(self):
        path = self.path("grade.cc")
        write_cc(path, SLOPE, OFFSET, POWER)
        grid = grid_points(33)
        info, ours = our_lookup(path, grid)
        self.assertEqual((info["name"], info["cube"]), ("ASC CDL", 33))
        peer = ocio_apply(ocio_file_processor(path), grid)
        self.assertClose(ours, peer, CDL_SLACK, "our CDL cube against OpenColorIO's CDL", grid)

    def test_cdl_saturation_luma(self):
        """A colour decision file reads as OpenColorIO reads it: the
        saturation mixes each channel with Rec. 709 luma (0.2126, 0.7152,
        0.0722), not with the unweighted mean of the three."""
        saturation = 0.6
        path = self.path("saturated.cc")
        write_cc(path, SLOPE, OFFSET, POWER, saturation)
        grid = grid_points(33)
        _, ours = our_lookup(path, grid)
        peer = ocio_apply(ocio_file_processor(path), grid)
        theirs = [cdl(p, SLOPE, OFFSET, POWER, saturation, REC709) for p in grid]
        mean = [cdl(p, SLOPE, OFFSET, POWER, saturation, MEAN) for p in grid]
        self.assertClose(ours, peer, CDL_SLACK, "our CDL against OpenColorIO's", grid)
        self.assertClose(peer, theirs, CDL_SLACK, "OpenColorIO's CDL with Rec. 709 luma", grid)
        worst, _ = max_difference(ours, mean)
        self.assertGreater(worst, 0.01)


    def test_cube_input_ranges(self):
        """A declared input range is honoured: our table over 0..1 gives at
        its grid points what OpenColorIO gives for the file at those inputs
        (both interpolate linearly between the file's points)."""
        size = 5
        rng = random.Random(5)
        cube = {(r, g, b): (rng.random(), rng.random(), rng.random())
                for r in range(size) for g in range(size) for b in range(size)}
        curve = {i: (rng.random(), rng.random(), rng.random()) for i in range(size)}
        cases = [
            ("domain.cube", ["LUT_3D_SIZE 5", "DOMAIN_MIN 0 0 0", "DOMAIN_MAX 2 2 2"], False),
            ("channels.cube", ["LUT_3D_SIZE 5", "DOMAIN_MIN 0.1 0 -0.5", "DOMAIN_MAX 0.9 2 1.5"], False),
            ("range3d.cube", ["LUT_3D_SIZE 5", "LUT_3D_INPUT_RANGE 0.25 1.5"], False),
            ("domain1d.cube", ["LUT_1D_SIZE 5", "DOMAIN_MIN 0 0 0", "DOMAIN_MAX 2 4 1"], True),
            ("range1d.cube", ["LUT_1D_SIZE 5", "LUT_1D_INPUT_RANGE -0.5 2"], True),
        ]
        for name, header, one_d in cases:
            with self.subTest(name):
                path = self.path(name)
                write_cube(path, size, curve if one_d else cube, header, one_d)
                points = [(i / (size - 1),) * 3 for i in range(size)] if one_d else grid_points(size)
                _, ours = our_lookup(path, points)
                peer = ocio_apply(ocio_file_processor(path, OCIO.INTERP_LINEAR), points)
                self.assertClose(ours, peer, FLOAT_SLACK, "our reading of " + name, points)
        # Ignoring the range would read the file's own grid instead.
        _, plain = our_lookup(self.path("domain.cube"), grid_points(size))
        expected = [cube[p] for p in ((r, g, b) for r in range(size) for g in range(size) for b in range(size))]
        self.assertGreater(max_difference(plain, expected)[0], 0.05)


if __name__ == "__main__":
    main()
