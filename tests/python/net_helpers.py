"""The internet tests' servers (tests/support/net_servers.py), started and stopped by a test."""
import os
import select
import signal
import subprocess

SOURCE = os.environ.get("LUM_SOURCE_DIR", os.path.join(os.path.dirname(__file__), "..", ".."))
SERVERS = os.path.join(SOURCE, "tests", "support", "net_servers.py")


def start_server(*args, wait=10.0):
    """Starts net_servers.py with args; returns (process, port). Stop it with stop_server."""
    p = subprocess.Popen(["/usr/bin/python3", SERVERS, *args], stdout=subprocess.PIPE)
    ready, _, _ = select.select([p.stdout], [], [], wait)
    line = p.stdout.readline().decode() if ready else ""
    if not line.startswith("READY "):
        stop_server(p)
        raise RuntimeError("the test server did not start")
    return p, int(line.split()[1])


def stop_server(p):
    p.send_signal(signal.SIGTERM)
    try:
        p.wait(5)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait(5)
    p.stdout.close()
