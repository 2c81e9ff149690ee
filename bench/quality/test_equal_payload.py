#!/usr/bin/python3
"""Self-check of the equal-payload reading of equal_payload.py, run by bench/quality/run before
it measures: the interpolation between measured points, and the comparison with ours."""

import math
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import equal_payload  # noqa: E402
from equal_payload import at_payload  # noqa: E402


class AtPayload(unittest.TestCase):
    def test_reads_between_the_nearest_points_linear_in_log_rate(self):
        points = [(128.0, -12.0), (48.0, -2.0), (64.0, -4.0), (96.0, -9.0)]  # unordered
        self.assertAlmostEqual(at_payload(points, 64.0), -4.0)  # a measured point
        self.assertAlmostEqual(at_payload(points, math.sqrt(96.0 * 128.0)), -10.5)  # mid in log
        self.assertAlmostEqual(at_payload(points, 48.0), -2.0)  # the lowest point itself
        self.assertAlmostEqual(at_payload(points, 128.0), -12.0)  # the highest

    def test_never_extrapolates(self):
        points = [(49.0, -2.0), (64.0, -4.0), (191.5, -15.0)]
        self.assertIsNone(at_payload(points, 48.0))
        self.assertIsNone(at_payload(points, 192.0))
        self.assertIsNone(at_payload([], 64.0))
        self.assertIsNone(at_payload([(63.0, -1.0)], 64.0))

    def test_a_payload_out_of_order_with_the_setting(self):
        # A coder that spends less at a higher setting: its points are taken in payload order,
        # so the target lies between the nearest points either side of it.
        points = [(70.0, -8.0), (60.0, -5.0), (80.0, -9.0)]
        self.assertAlmostEqual(at_payload(points, 65.0),
                               -5.0 - 3.0 * math.log(65 / 60) / math.log(70 / 60))


class AgainstOurs(unittest.TestCase):
    def test_only_signals_where_both_are_measured(self):
        # ours at 48 and 96 on one signal, 48 to 128 on another; lame everywhere.
        points = [{"signal": s, "coder": c, "payload_kbps": p, "nmr_db": v}
                  for s, c, p, v in [("a", "ours", 40, 0.0), ("a", "ours", 100, -6.0),
                                     ("b", "ours", 40, 4.0), ("b", "ours", 200, -4.0),
                                     ("a", "lame", 40, -1.0), ("a", "lame", 200, -9.0),
                                     ("b", "lame", 40, -2.0), ("b", "lame", 200, -10.0)]]
        table = equal_payload.interpolated(points, ["a", "b"], ["ours", "lame"])
        at_128 = equal_payload.PAYLOADS.index(128)
        compared = equal_payload.against_baseline(table, ["a", "b"], "lame", at_128)
        self.assertEqual([name for _, name in compared], ["b"])
        self.assertAlmostEqual(compared[0][0], -6.0)  # parallel lines 6 dB apart on b


if __name__ == "__main__":
    unittest.main()
