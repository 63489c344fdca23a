"""Builds zorvane._native with the project's own CMake build, so the
extension gets the library's exact compile flags. Everything else about
the package is in pyproject.toml."""

import os
import re
import subprocess
import sys
from pathlib import Path

from setuptools import Extension, setup
from setuptools.command.build_ext import build_ext

ROOT = Path(__file__).resolve().parent


def project_version():
    text = (ROOT / "CMakeLists.txt").read_text()
    return re.search(r"project\(\w+ VERSION ([0-9.]+)", text).group(1)


class CMakeBuild(build_ext):
    def build_extension(self, ext):
        build_dir = Path(self.build_temp).resolve() / "cmake"
        configure = [
            "cmake", "-S", str(ROOT), "-B", str(build_dir),
            "-DCMAKE_BUILD_TYPE=Release",
            "-DZORVANE_BUILD_PYTHON=ON", "-DZORVANE_BUILD_TESTS=OFF", "-DZORVANE_BUILD_TOOLS=OFF",
            f"-DPython3_EXECUTABLE={sys.executable}",
        ]
        jobs = os.environ.get("CMAKE_BUILD_PARALLEL_LEVEL", "2")
        subprocess.run(configure, check=True, stdout=subprocess.DEVNULL)
        subprocess.run(["cmake", "--build", str(build_dir), "--target", "zorvane_python", "-j", jobs], check=True)
        built = next((build_dir / "python" / "zorvane").glob("_native*.so"))
        target = Path(self.get_ext_fullpath(ext.name))
        target.parent.mkdir(parents=True, exist_ok=True)
        self.copy_file(str(built), str(target))


setup(
    version=project_version(),
    ext_modules=[Extension("zorvane._native", sources=[])],
    cmdclass={"build_ext": CMakeBuild},
    options={"build": {"build_base": "build/python-package"}},
)
