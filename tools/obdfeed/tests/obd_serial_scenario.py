"""vistrel-obdfeed --port on a COM port of a Wine prefix, with a simulated
ELM327 adapter (at 9600 baud, echo on, a protocol search) on the other side:
the values it sends arrive in "XOBD2" at their offsets (read back by
record_watch.exe, which asks for PIDs as an overlay filter does); engine speed
is polled only once a reader asks; LinkState goes Init, Open, Working, and to
TO or N/C when the adapter falls silent or is unplugged, and back; the
odometer carries over to the next run.

    obd_serial_scenario.py <folder with the Windows binaries>
"""
import os
import sys
import time

from serial_sim import (Elm, Program, Pty, Watch, check, finish, wait_until, wine_path)

N_C, CLOSED, OPEN, WORKING, INIT, TIMEOUT, BUSY, IDLE = (str(n) for n in range(8))
bin_dir = sys.argv[1]
work = os.environ["WORK"]
com7 = os.path.join(os.environ["WINEPREFIX"], "dosdevices", "com7")
feed_exe = os.path.join(bin_dir, "vistrel-obdfeed.exe")
odometer = os.path.join(work, "odometer.txt")
requests = os.path.join(work, "requests.txt")


def link():
    r = watch.last("obd")
    return r["link"] if r else None


def links_since(t):
    seen = []
    for _, r in watch.records("obd", since=t):
        if not seen or seen[-1] != r["link"]:
            seen.append(r["link"])
    return seen


def went(sequence, since):
    seen, i = links_since(since), 0
    for s in seen:
        if i < len(sequence) and s == sequence[i]:
            i += 1
    if i < len(sequence):
        print("  link states seen:", seen)
    return i == len(sequence)


def sent_value(pid, record):
    """The record's value of `pid` is one the adapter sent lately."""
    got = int(record.get("pid%02X" % pid, 0))
    recent = [v for _, v in elm.values[pid][-20:]]
    if got not in recent:
        print("  pid %02X: record %d, adapter sent %s" % (pid, got, recent))
    return got in recent


port = Pty(com7)
elm = Elm(port, baud=9600, banner="ELM327 v1.5", search=2.0)
elm.start()
watch = Watch(bin_dir, 200, request_file=requests)
start = time.monotonic()
feed = Program(feed_exe, ["--port", "COM7", "--seconds", "90", "--set-odometer", "1000",
                          "--odometer-file", wine_path(odometer)], 150)

check("the adapter is set up and the vehicle answers",
      wait_until(lambda: link() == WORKING, 40))
check("LinkState went Init, Open, Working", went([INIT, OPEN, WORKING], start))
check("the feed found the adapter at 9600 baud",
      feed.said('adapter "ELM327 V1.5" at 9600 baud') and port.baud() == 9600)
commands = [c for _, c in elm.commands]
reset = commands.index("ATZ") if "ATZ" in commands else 0
check("it was found by ATI, reset and set up (%s)" % commands[:reset + 7],
      "ATI" in commands[:reset] and
      commands[reset:reset + 7] == ["ATZ", "ATE0", "ATL0", "ATS0", "ATH0", "ATSP0", "0100"])

# Nobody shows engine speed yet: it is not polled; speed and air flow are.
time.sleep(3)
check("speed and air flow are polled for the odometer and fuel economy",
      len(elm.polled("010D")) > 5 and len(elm.polled("0110")) > 5)
check("engine speed is not polled before a reader asks", not elm.polled("010C"))
record = watch.last("obd")
check("the vehicle speed the adapter sent is in the record", sent_value(0x0D, record))
check("and the air flow", sent_value(0x10, record))

# A reader asks for engine speed (bit 0x1000) and the load (bit 0x10).
asked = time.monotonic()
with open(requests, "w") as f:
    f.write("1010\n")
check("engine speed is polled once a reader asks",
      wait_until(lambda: len(elm.polled("010C", since=asked)) >= 3, 5))
time.sleep(1)
record = watch.last("obd")
check("the engine speed the adapter sent is in the record", sent_value(0x0C, record))
check("and the load", sent_value(0x04, record))
check("the request bits are the reader's", int(record["requested"], 16) & 0x1010 == 0x1010)

# NO DATA for one PID and noise between the replies: the rest goes on.
elm.no_data = {0x04}
elm.noise = True
trouble = time.monotonic()
time.sleep(4)
elm.no_data, elm.noise = set(), False
check("values keep coming through NO DATA and noise",
      len([t for t, v in elm.values[0x0C] if t > trouble]) >= 5 and link() == WORKING)
time.sleep(1)
check("the record's engine speed is still the adapter's", sent_value(0x0C, watch.last("obd")))

# The adapter falls silent, then answers again.
elm.silent = True
silent = time.monotonic()
check("a silent adapter shows as TO", wait_until(lambda: link() == TIMEOUT, 10))
time.sleep(3)
elm.silent = False
check("and it is back to Working when it answers",
      wait_until(lambda: link() == WORKING, 30) and went([TIMEOUT, INIT, OPEN, WORKING], silent))

# Unplugged, and plugged in again.
port.close()
unplugged = time.monotonic()
check("an unplugged adapter shows as N/C", wait_until(lambda: link() == N_C, 5))
time.sleep(4)
port.open()
check("plugged in again, it is set up and Working",
      wait_until(lambda: link() == WORKING, 40) and went([N_C, INIT, OPEN, WORKING], unplugged))
time.sleep(2)
check("the engine speed the adapter sends arrives again", sent_value(0x0C, watch.last("obd")))
record = watch.last("obd")
check("the trip grew from the speed over time (%s)" % record["trip"], int(record["trip"]) > 100)
check("the odometer started at the given reading and grew with it",
      abs(int(record["odometer"]) - 1000000 - int(record["trip"])) <= 1)
check("the fuel economy is worked out (%s / %s)" % (record["stmpg"], record["ltmpg"]),
      int(record["stmpg"]) > 0 and int(record["ltmpg"]) > 0)

code = feed.wait(120)
check("the feed ends cleanly (%s)" % code, code == 0)
check("and leaves the link N/C", wait_until(lambda: link() == N_C, 3))
final_trip = int(watch.last("obd")["trip"])
saved = open(odometer).read() if os.path.exists(odometer) else ""
check("the odometer is kept in its file (%s)" % saved.strip(),
      saved.startswith("odometer_miles=") and
      abs(float(saved.split("=")[1]) - (1000 + final_trip / 1000)) < 0.01)

# The next run starts from the kept odometer.
again = time.monotonic()
feed = Program(feed_exe, ["--port", "COM7", "--seconds", "25",
                          "--odometer-file", wine_path(odometer)], 60)
check("the next run is Working", wait_until(lambda: link() == WORKING, 40))
first = watch.records("obd", since=again)
check("and goes on from the kept odometer",
      first and int(first[-1][1]["odometer"]) >= 1000000 + final_trip and
      int(first[-1][1]["trip"]) < final_trip)
check("the next run ends cleanly", feed.wait(60) == 0)

elm.stopping = True
watch.end()
port.close()
finish()
