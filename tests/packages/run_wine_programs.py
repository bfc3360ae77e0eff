"""run_wine_programs.py FOLDER: runs the programs listed in
FOLDER/programs.json ({name: [program, argument...]}) one after the other
with the wine loader in $WINE, and writes each one's standard output to
FOLDER/NAME.out and its exit status to FOLDER/NAME.status. Run inside
scripts/wine-session.sh, so that they share one prefix and server."""

import json
import os
import subprocess
import sys
from pathlib import Path

folder = Path(sys.argv[1])
for name, command in json.loads((folder / "programs.json").read_text()).items():
    with open(folder / f"{name}.out", "wb") as output:
        status = subprocess.run([os.environ["WINE"], *command], stdin=subprocess.DEVNULL, stdout=output,
                                check=False).returncode
    (folder / f"{name}.status").write_text(f"{status}\n")
