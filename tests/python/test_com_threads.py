"""Controls on several Python threads: each thread's controls keep their own state."""

import subprocess
import sys
import threading
import unittest

import unittest_runner

import lumtwainpro as L

L.set_message_box_echo(False)


def work(base, errors):
    try:
        a, b = L.twain(), L.twain()
        for i in range(200):
            a.SetNativeImage(base + i)
            if b.GetWidth() != 0 or b.GetStat() != 2:
                errors.append("b changed on %d" % base)
            if a.GetNativeImage() != base + i or a.GetStat() != 0:
                errors.append("a lost its image on %d" % base)
        try:
            a.SetNativeImage(3e10)
            errors.append("no overflow on %d" % base)
        except L.ComError as e:
            if e.number != 6:
                errors.append("error %d on %d" % (e.number, base))
        del a, b  # released on the thread that made them
    except Exception as e:  # reported by the main thread
        errors.append(repr(e))


class Threads(unittest.TestCase):
    def test_two_threads(self):
        errors = []
        threads = [threading.Thread(target=work, args=(base, errors)) for base in (1000, 5000)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        self.assertEqual(errors, [])

    def test_message_boxes_are_per_thread(self):
        import os

        os.environ["LUMTWAIN_ENGINE"] = "/nonexistent"
        try:
            L.message_boxes()
            seen = []

            def other():
                L.set_message_box_echo(False)
                L.twain().TwainGetState()
                seen.append(len(L.message_boxes()))

            t = threading.Thread(target=other)
            t.start()
            t.join()
            self.assertEqual(seen, [1])
            self.assertEqual(L.message_boxes(), [], "the other thread's box is not ours")
        finally:
            del os.environ["LUMTWAIN_ENGINE"]

    def test_a_control_stays_with_its_thread(self):
        # In a process of its own: the control released on the wrong thread stays alive.
        script = """
import threading, lumtwainpro as L
made = []
t = threading.Thread(target=lambda: made.append(L.twain()))
t.start(); t.join()
control = made.pop()
try:
    control.GetStat()
    raise SystemExit("no error")
except L.ComError as e:
    assert e.hresult == 0x8001010E, hex(e.hresult)  # RPC_E_WRONG_THREAD
del control
assert L.twain().GetStat() == 0
print("ok")
"""
        r = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True,
                           timeout=60)
        self.assertEqual(r.returncode, 0, r.stderr)
        self.assertIn("ok", r.stdout)

    def test_a_stream_stays_with_its_thread(self):
        made = []
        t = threading.Thread(target=lambda: made.append(L.create_stream(b"abc")))
        t.start()
        t.join()
        stream = made.pop()
        with self.assertRaises(L.ComError) as caught:
            stream.Read(3)
        self.assertEqual(caught.exception.hresult, 0x8001010E)  # RPC_E_WRONG_THREAD
        del stream  # released here; its block was the other thread's
        mine = L.create_stream(b"xyz")
        self.assertEqual(mine.Read(3), b"xyz")

    def test_objects_released(self):
        work(100, [])
        self.assertEqual(L.DllCanUnloadNow(), 0)


if __name__ == "__main__":
    unittest_runner.main(__name__)
