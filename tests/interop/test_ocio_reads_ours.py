"""Our 3D writers, read by OpenColorIO.

For every 3D output profile whose file format OpenColorIO reads, a look
exported with `ombrane-cli look` is loaded by OpenColorIO and evaluated at
every grid point and at a few hundred random colours. Two comparisons:

* with our own LookupNormalized on the same file (lut_eval): both programs
  read the same numbers and interpolate trilinearly, so they agree up to
  OpenColorIO's 32-bit float arithmetic (FLOAT_SLACK). A layout, order or
  scale that the peer reads differently shows up far above that;
* with the same look exported at the same size as a six-decimal Cube 3D
  file: the file may differ from it only by its own quantisation (half a
  step of 1/(2^bits - 1), or of the sixth decimal). Off the grid the bound
  is the same, because a trilinear lookup is a convex combination of eight
  grid values.
"""
import os

from interop_support import (
    FLOAT_SLACK, SIX_DECIMALS, InteropCase, export_look, grid_points, half_step,
    main, max_difference, ocio_apply, ocio_file_processor, our_lookup, random_points, require_ocio,
)
import interop_support as support

# (profile, file name, grid size, quantisation bound of the written values).
# Files go out under the extension the peer knows the format by: the 3dl
# profiles (and "Dolby DD3") as .3dl, Lustre as a 3dl file with its mesh
# header, the Truelight cube as .cub.
PROFILES = [
    ("3DL Scratch, Autodesk, Blackmagic, Cine-tal", "scratch.3dl", 17, half_step(12)),
    ("3DL Fusion", "fusion.3dl", 33, half_step(12)),
    ("Dolby DD3", "dolby.3dl", 17, half_step(12)),
    ("Autodesk Lustre 3D", "lustre.3dl", 33, half_step(12)),
    ("Cube 3D Iridas, Nuke, AfterEffects", "iridas.cube", 32, SIX_DECIMALS),
    ("Cube 3D Davinci", "davinci.cube", 33, SIX_DECIMALS),
    ("Cube 3D Truelight", "truelight.cub", 32, SIX_DECIMALS),
    ("FSI CFE (Flanders Scientific) 3D", "fsi.cfe", 17, SIX_DECIMALS),
    ("Pandora 3D, Apple 3D m3d", "pandora.m3d", 17, half_step(16)),
    ("Technicolor 3D mga", "technicolor.mga", 33, half_step(16)),
]

# The same profiles under their own extensions, where those differ from the
# one the peer expects: OpenColorIO picks its reader by extension first and
# then tries every other reader, so these load too. Our own 3dl reader
# recognises its files by the .3dl extension only, so a .dd3 file is read
# with that format chosen by its index.
THREE_DL_FORMAT = 4
OWN_EXTENSIONS = [
    ("Dolby DD3", "dolby.dd3", 17, THREE_DL_FORMAT),
    ("Autodesk Lustre 3D", "lustre.lut", 33, None),
    ("Cube 3D Truelight", "truelight.cube", 32, None),
]

RANDOM_COLOURS = 300


class OcioReadsOurLooks(InteropCase):

    def setUp(self):
        super().setUp()
        require_ocio(self)
        self.reference = self.reference_picture()

    def reference_cube(self, size):
        """The same look at the same size, written with six decimals."""
        path = self.path("reference-%d.cube" % size)
        if not os.path.exists(path):
            export_look(self.reference, path, "Cube 3D Davinci", size)
        return path

    def check_profile(self, profile, name, size, quantisation):
        path = export_look(self.reference, self.path(name), profile)
        points = grid_points(size) + random_points(RANDOM_COLOURS, seed=size)

        info, ours = our_lookup(path, points)
        self.assertEqual((info["kind"], info["cube"]), (1, size),
                         "%s: our reader should see a %d-point cube" % (profile, size))

        peer = ocio_apply(ocio_file_processor(path), points)
        tight = self.assertClose(peer, ours, FLOAT_SLACK,
                                 "%s: OpenColorIO against our lookup of %s" % (profile, name), points)

        _, exact = our_lookup(self.reference_cube(size), points)
        quantised = self.assertClose(peer, exact, quantisation + SIX_DECIMALS + FLOAT_SLACK,
                                     "%s: OpenColorIO against the six-decimal look" % profile, points)
        # The look must move colours well away from the identity, or the
        # comparisons above would prove little.
        moved, _ = max_difference(exact[:size ** 3], points[:size ** 3])
        self.assertGreater(moved, 0.05, "%s: the exported look is almost the identity" % profile)
        print("%s: against our lookup %.2g, against the six-decimal look %.2g" % (profile, tight, quantised))

    def test_profiles(self):
        for profile, name, size, quantisation in PROFILES:
            with self.subTest(profile=profile):
                self.check_profile(profile, name, size, quantisation)

    def test_own_extensions_load(self):
        for profile, name, size, format_index in OWN_EXTENSIONS:
            with self.subTest(profile=profile, file=name):
                path = export_look(self.reference, self.path(name), profile)
                points = grid_points(size)
                info, ours = our_lookup(path, points, format_index)
                self.assertEqual(info["cube"], size)
                peer = ocio_apply(ocio_file_processor(path), points)
                self.assertClose(peer, ours, FLOAT_SLACK,
                                 "%s written as %s, read by OpenColorIO" % (profile, name), points)

    def test_dark_3dl_read_at_10_bits(self):
        """Documented difference. A 3dl file carries no bit depth for its
        values; we read 12 bits unless a value exceeds 4095. OpenColorIO
        guesses the depth from the largest value: up to 1125 (10 % above
        1023) it takes 10 bits, also in a Lustre file whose mesh line says
        12. A dark table written at the profiles' 12 bits (no value above a
        quarter of full scale) therefore reads 4095/1023 times too bright
        there. Looks made from a reference reach far higher values."""
        size = 17
        table = {(r, g, b): (0.25 * r / (size - 1), 0.2 * g / (size - 1), 0.1 + 0.1 * b / (size - 1))
                 for r in range(size) for g in range(size) for b in range(size)}
        source = self.path("dark.cube")
        support.write_cube(source, size, table)
        grid = grid_points(size)
        points = grid + random_points(RANDOM_COLOURS, seed=4)
        for profile, name in (("3DL Scratch, Autodesk, Blackmagic, Cine-tal", "dark.3dl"),
                              ("Autodesk Lustre 3D", "dark-lustre.3dl")):
            with self.subTest(profile=profile):
                path = self.path(name)
                support.cli("convert", source, "-o", path, "--profile", profile)
                _, ours = our_lookup(path, points)
                _, exact = our_lookup(source, points)
                self.assertClose(ours, exact, half_step(12) + SIX_DECIMALS + FLOAT_SLACK,
                                 "%s: our reading of the dark table" % profile, points)
                peer = ocio_apply(ocio_file_processor(path), points)
                brighter = [tuple(c * 4095 / 1023 for c in v) for v in ours]
                self.assertClose(peer, brighter, FLOAT_SLACK * 4,
                                 "%s: OpenColorIO reading the dark table at 10 bits" % profile, points)

    def test_dd3_not_detected_by_us(self):
        """Documented: no format of ours claims a .dd3 file by itself (the 3dl
        reader goes by the .3dl extension), while OpenColorIO finds its 3dl
        reader for it after the readers for known extensions."""
        path = export_look(self.reference, self.path("look.dd3"), "Dolby DD3")
        with self.assertRaises(AssertionError) as refused:
            our_lookup(path, [(0.5, 0.5, 0.5)])
        self.assertIn("no format reads", str(refused.exception))
        ocio_file_processor(path)  # raises when OpenColorIO cannot read it

    def test_tetrahedral_interpolation_stays_within_each_cell(self):
        """OpenColorIO's default for 3D LUTs is trilinear, like ours; a host
        that asks it for tetrahedral interpolation gets the same values on the
        grid and, off the grid, a value within the range of the eight corners
        of the cell: both interpolations are convex combinations of them."""
        size = 33
        path = self.reference_cube(size)
        grid = grid_points(size)
        _, table = our_lookup(path, grid)
        tetra = ocio_file_processor(path, support.OCIO.INTERP_TETRAHEDRAL)
        self.assertClose(ocio_apply(tetra, grid), table, FLOAT_SLACK,
                         "tetrahedral lookup on the grid points", grid)

        points = random_points(RANDOM_COLOURS, seed=99)
        _, ours = our_lookup(path, points)
        peer = ocio_apply(tetra, points)
        largest = 0.0
        for point, mine, theirs in zip(points, ours, peer):
            corners = cell_corners(table, size, point)
            for channel in range(3):
                low = min(c[channel] for c in corners) - FLOAT_SLACK
                high = max(c[channel] for c in corners) + FLOAT_SLACK
                self.assertTrue(low <= theirs[channel] <= high,
                                "tetrahedral value %r leaves its cell at %r" % (theirs, point))
                self.assertTrue(low <= mine[channel] <= high,
                                "our trilinear value %r leaves its cell at %r" % (mine, point))
                largest = max(largest, abs(mine[channel] - theirs[channel]))
        # The two must not coincide everywhere, or the peer was not asked for
        # a different interpolation at all.
        self.assertGreater(largest, FLOAT_SLACK)
        print("tetrahedral against trilinear, largest difference off the grid: %.3g" % largest)


def cell_corners(table, size, point):
    """The eight grid values around a point; table is in grid_points order."""
    step = size - 1
    base = [min(int(c * step), step - 1) for c in point]
    corners = []
    for dr in (0, 1):
        for dg in (0, 1):
            for db in (0, 1):
                r, g, b = base[0] + dr, base[1] + dg, base[2] + db
                corners.append(table[(r * size + g) * size + b])
    return corners


if __name__ == "__main__":
    main()
