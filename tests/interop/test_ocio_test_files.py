"""OpenColorIO's own test files, read by OpenColorIO 2.1 and by us.

Every file either reads with the values OpenColorIO gives (ocio_files.py
says within what), or is refused by us with a message that names the
feature we do not read: an operator or attribute of OpenColorIO's own
extended format, or an IndexMap. Files in an "illegal" folder are refused
by us, and no file that both read is accepted by us when it is cut short.
The exceptions are listed below, each with its reason.
"""
import os
import sys

import interop_support as support
import ocio_files

HERE = os.path.dirname(os.path.abspath(__file__))
FOLDERS = [os.path.join(HERE, "ocio-files")]
if os.environ.get("OMBRANE_OCIO_TEST_FILES"):
    FOLDERS.append(os.environ["OMBRANE_OCIO_TEST_FILES"])

# Both read these, with other values, for the reason given.
DOCUMENTED_DIFFERENCES = {
    "cdl_test_ASC_SOP.cc": "OpenColorIO 2.1 ignores the ASC_SOP spelling of the SOP node (later versions read it)",
    "cdl_test_ASC_SAT.cc": "OpenColorIO 2.1 ignores the ASC_SAT spelling of the saturation node",
    "lut3by1d_nan_infinity_example.clf": "entries of the largest float: OpenColorIO's 32-bit blends of them "
                                         "cancel where ours, in 64 bits, do not",
}

# We read these, OpenColorIO 2.1 refuses them.
READ_THOUGH_OCIO_REFUSES = {
    ".ccc": "a collection: without --cc-id we take its first correction, OpenColorIO asks for an id",
    ".cdl": "a decision list: without --cc-id we take its first correction, OpenColorIO asks for an id",
    "broadcast_profile_lut33.clf": "the 2024 edition of the standard, newer than OpenColorIO 2.1",
    "info_version_empty.ctf": "the Info element is metadata to us; OpenColorIO checks its version",
    "info_version_invalid.ctf": "the Info element is metadata to us; OpenColorIO checks its version",
    "info_version_unsupported.ctf": "the Info element is metadata to us; OpenColorIO checks its version",
    "matrix_offsets_example_1_3.ctf": "a 4 4 3 matrix in a version 1.3 list, which OpenColorIO allows only before 1.3",
    "legacy_slog_to_log_v3_lustre.lut": "a Lustre 1D table, our reader's; OpenColorIO's Discreet reader refuses its header",
}

# Messages that name a feature we do not read.
NAMED_REFUSALS = ("is not supported", "IndexMap")


def explained(table, path):
    name = os.path.basename(path)
    return table.get(name) or table.get(os.path.splitext(name)[1])


class OcioTestFiles(support.InteropCase):
    def test_each_file_matches_or_is_refused_by_name(self):
        support.require_ocio(self)
        pts = ocio_files.points()
        problems, counts = [], {}
        for folder in FOLDERS:
            for path in ocio_files.lut_files(folder):
                verdict, detail, cuts = ocio_files.classify(support.OCIO, support.LUT_EVAL, path, pts, cut=True)
                counts[verdict] = counts.get(verdict, 0) + 1
                relative = os.path.relpath(path, folder)
                illegal = "illegal" in relative.split(os.sep)
                if illegal and verdict not in ("both refuse", "we refuse", "not ours"):
                    problems.append("%s: an illegal file is read (%s)" % (relative, verdict))
                elif verdict == "differ" and not explained(DOCUMENTED_DIFFERENCES, path):
                    problems.append("%s: other values %s" % (relative, detail))
                elif verdict == "we refuse" and not illegal and not any(n in detail for n in NAMED_REFUSALS):
                    problems.append("%s: refused without naming a feature: %s" % (relative, detail))
                elif verdict == "ocio refuses" and not explained(READ_THOUGH_OCIO_REFUSES, path):
                    problems.append("%s: read although OpenColorIO refuses it: %s" % (relative, detail))
                if cuts:
                    problems.append("%s: accepted when cut at byte %s" % (relative, cuts))
        sys.stderr.write("OpenColorIO's test files: %s\n" % ", ".join("%s %d" % i for i in sorted(counts.items())))
        self.assertEqual(problems, [])
        self.assertGreater(counts.get("match", 0), 60)

    def test_cdl_pairs_are_read_as_written(self):
        """cdl_various.ctf chains every ASC_CDL style forward and then
        reversed, at changing bit depths. The depths scale nothing around a
        CDL (its values are always normalised): OpenColorIO with every
        optimisation but one gives our values. That one, the dropping of a
        CDL followed by its inverse, is no identity here (the clamps cut the
        red offset of -0.02 at black), so OpenColorIO's default processor
        gives 0.02 where the written chain gives 0.048 at black."""
        support.require_ocio(self)
        ocio = support.OCIO
        path = os.path.join(HERE, "ocio-files", "cdl_various.ctf")
        pts = ocio_files.points()
        ours, head = ocio_files.our_values(support.LUT_EVAL, path, pts)
        self.assertIsNotNone(ours, head)
        processor = ocio.Config.CreateRaw().getProcessor(ocio.FileTransform(src=path))
        flags = ocio.OPTIMIZATION_ALL & ~ocio.OPTIMIZATION_PAIR_IDENTITY_CDL
        cpu = processor.getOptimizedCPUProcessor(ocio.BIT_DEPTH_F32, ocio.BIT_DEPTH_F32,
                                                 ocio.OptimizationFlags(flags))
        theirs = [cpu.applyRGB(list(p)) for p in pts]
        worst = max(abs(a - b) for o, t in zip(ours, theirs) for a, b in zip(o, t))
        self.assertLess(worst, 1e-5)
        black = processor.getDefaultCPUProcessor().applyRGB([0.0, 0.0, 0.0])
        self.assertAlmostEqual(black[0], 0.02, places=6)
        self.assertAlmostEqual(ours[pts.index((0.0, 0.0, 0.0))][0], 0.048265, places=5)


if __name__ == "__main__":
    support.main()
