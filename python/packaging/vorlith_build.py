"""The package's build backend: CMake builds the module, the standard library writes the wheel.

Only the wheel hooks are provided; pip builds from the source tree. The wheel holds the
package directory with the module and the shared libraries it links (found next to it
through its run path $ORIGIN), and the .dist-info metadata read by importlib.metadata.
The CMake build folder is build-wheel in the source tree, or $VORLITH_WHEEL_BUILD; CMake's
own environment variables (CMAKE_CXX_COMPILER_LAUNCHER=ccache, ...) apply.
"""

import base64
import hashlib
import os
import pathlib
import shutil
import subprocess
import sys
import sysconfig
import tomllib
import zipfile

SOURCE = pathlib.Path(__file__).resolve().parents[2]


def _project():
    with open(SOURCE / "pyproject.toml", "rb") as file:
        return tomllib.load(file)["project"]


def _tag():
    python = f"cp{sys.version_info.major}{sys.version_info.minor}"
    abi = python + sys.abiflags
    platform = sysconfig.get_platform().replace("-", "_").replace(".", "_")
    return f"{python}-{abi}-{platform}"


def _metadata(project):
    lines = [
        "Metadata-Version: 2.1",
        f"Name: {project['name']}",
        f"Version: {project['version']}",
        f"Summary: {project['description']}",
        f"Requires-Python: {project['requires-python']}",
    ]
    lines += [f"Requires-Dist: {d}" for d in project.get("dependencies", [])]
    return "\n".join(lines) + "\n"


def _build(stage):
    """Configures, builds and installs the module and its libraries into `stage`/wheel."""
    build = pathlib.Path(os.environ.get("VORLITH_WHEEL_BUILD", SOURCE / "build-wheel"))
    configure = [
        "cmake", "-S", str(SOURCE), "-B", str(build), "-DCMAKE_BUILD_TYPE=Release",
        "-DVORLITH_BUILD_TESTS=OFF", "-DVORLITH_BUILD_BENCH=OFF", "-DVORLITH_BUILD_TOOLS=OFF",
        "-DVORLITH_PYTHON=ON", f"-DPython3_EXECUTABLE={sys.executable}",
        f"-DCMAKE_INSTALL_PREFIX={stage}", "-DVORLITH_PYTHON_INSTALL_DIR=wheel",
        "-DCMAKE_INSTALL_LIBDIR=wheel/vorlith",
    ]
    jobs = os.environ.get("VORLITH_WHEEL_JOBS", str(os.cpu_count() or 1))
    for command in (configure, ["cmake", "--build", str(build), "-j", jobs, "--target", "vorlith_python"],
                    ["cmake", "--install", str(build)]):
        subprocess.run(command, check=True, stdout=sys.stderr)
    return stage / "wheel"


def _record_line(name, data):
    digest = base64.urlsafe_b64encode(hashlib.sha256(data).digest()).rstrip(b"=").decode()
    return f"{name},sha256={digest},{len(data)}"


def get_requires_for_build_wheel(config_settings=None):
    return []


def build_wheel(wheel_directory, config_settings=None, metadata_directory=None):
    project = _project()
    name, version = project["name"], project["version"]
    stage = pathlib.Path(wheel_directory).resolve() / f".{name}-stage"
    shutil.rmtree(stage, ignore_errors=True)
    root = _build(stage)
    package = root / name
    # A library is loaded by its soname, the symbolic link: the link's name holds the
    # library, and neither the file it points to nor the development link (lib*.so) is
    # needed. CMake and pkg-config files of the library stay out too.
    linked = {p.resolve().name for p in package.glob("lib*.so.*") if p.is_symlink()}
    files = {}
    for path in sorted(package.rglob("*")):
        relative = path.relative_to(package)
        if path.is_dir() or relative.parts[0] in ("cmake", "pkgconfig"):
            continue
        if path.name.startswith("lib") and (path.name.endswith(".so") or path.name in linked and not path.is_symlink()):
            continue
        files[path.relative_to(root).as_posix()] = path.read_bytes()
    info = f"{name}-{version}.dist-info"
    files[f"{info}/METADATA"] = _metadata(project).encode()
    files[f"{info}/WHEEL"] = (f"Wheel-Version: 1.0\nGenerator: vorlith_build\nRoot-Is-Purelib: false\n"
                              f"Tag: {_tag()}\n").encode()
    files[f"{info}/top_level.txt"] = f"{name}\n".encode()
    license_file = SOURCE / "LICENSE"
    if license_file.exists():
        files[f"{info}/LICENSE"] = license_file.read_bytes()
    record = [_record_line(n, d) for n, d in files.items()] + [f"{info}/RECORD,,"]
    wheel_name = f"{name}-{version}-{_tag()}.whl"
    with zipfile.ZipFile(pathlib.Path(wheel_directory) / wheel_name, "w", zipfile.ZIP_DEFLATED) as wheel:
        for file_name, data in files.items():
            entry = zipfile.ZipInfo(file_name, date_time=(1980, 1, 1, 0, 0, 0))
            executable = file_name.endswith(".so") or ".so." in file_name
            entry.external_attr = (0o755 if executable else 0o644) << 16
            wheel.writestr(entry, data, zipfile.ZIP_DEFLATED)
        wheel.writestr(f"{info}/RECORD", "\n".join(record) + "\n")
    shutil.rmtree(stage, ignore_errors=True)
    return wheel_name
