"""The documented install: pip puts the package from a copy of the tree into a
fresh virtual environment that sees Debian's packages, with no index and no
build isolation (nothing downloaded); the installed module then scans a
served backplane."""

import os
import shutil
import subprocess
import sys

SMOKE = """
import os, sys
sys.path.append(sys.argv[2])
import boardhost
from served import Backplane
package = os.path.dirname(boardhost.__file__)
assert package.startswith(sys.argv[1]), package
assert os.path.exists(os.path.join(package, "__init__.pyi"))
served = Backplane(["valdor@2", "quillet@1"])
served.command("run 300ms")
found = boardhost.scan(boardhost.connect_sim(served.socket))
assert [(f.address, str(f.descriptor)) for f in found] == [
    (0x25, "dout 12, din 4, aout 2 (12 bit), ain 2"), (0x26, "dout 9, din 6, thermo 8")], found
served.close()
print("installed boardhost scans", [hex(f.address) for f in found])
"""


def main(work):
    source = os.environ["BOARDS_SOURCE_DIR"]
    shutil.rmtree(work, ignore_errors=True)
    tree = os.path.join(work, "tree")
    for part in ("python", "host"):
        shutil.copytree(os.path.join(source, part), os.path.join(tree, part),
                        ignore=shutil.ignore_patterns("build", "*.egg-info", "__pycache__"))
    venv = os.path.join(work, "venv")
    subprocess.run([sys.executable, "-m", "venv", "--system-site-packages", venv], check=True)
    python = os.path.join(venv, "bin", "python")
    # As on a fresh machine: no pip configuration, no wheel directories.
    env = {k: v for k, v in os.environ.items() if k != "PYTHONPATH" and not k.startswith("PIP_")}
    env.update(PIP_CONFIG_FILE=os.devnull, PIP_DISABLE_PIP_VERSION_CHECK="1")
    subprocess.run([python, "-m", "pip", "install", "--no-build-isolation", "--no-index",
                    os.path.join(tree, "python")], check=True, env=env)
    tests = os.path.dirname(os.path.abspath(__file__))
    subprocess.run([python, "-c", SMOKE, venv, tests], check=True, env=env, cwd=work)


if __name__ == "__main__":
    main(os.path.abspath(sys.argv[1]))
