#!/usr/bin/env bash
# Installs the Debian packages the build, the show and the tests need. Safe to run again:
# packages already present are left alone and nothing is fetched when all are there.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config        # cmake, ctest, ninja, the compiler (its ASan, UBSan, TSan runtimes)
  libsdl2-dev libegl-dev libgl-dev libstb-dev  # the show's libraries; EGL and GLX bring Mesa's llvmpipe
  libgtest-dev libgmock-dev libbenchmark-dev
  libavcodec-dev libavformat-dev libswscale-dev  # the capture's H.264/AAC in MP4
  ffmpeg                                  # ffprobe and ffmpeg read captures back in the tests
  parallel                                # GNU Parallel runs a capture's pieces in the join test
  slurm-wlm munge                         # the farm tests' one-node Slurm cluster (slurmctld, slurmd, munged)
  openssh-server openssh-client           # the farm tests' private sshd and the ssh GNU Parallel logs in with
  xvfb xauth                              # Xvfb and xvfb-run, which needs xauth
  xdotool imagemagick                     # the e2e tests press keys and read the screen (import, convert)
  python3                                 # the e2e tests time the pictures making mode logs
  xfonts-base                             # X core fonts: without them SDL cannot open a message box
  g++-mingw-w64-x86-64 wine wine64        # the Windows cross build and wine, wineboot, wineserver
  zip unzip                               # make-release.sh packs the Windows release; its wine test unpacks it
  pulseaudio pulseaudio-utils             # a null sink and parec: the wine test records the release's sound
  clang libclang-rt-14-dev                # clang++ and its libFuzzer runtime for the scene loader fuzzer
  valgrind                                # instruction counts of the scene program (benchmarks/show)
  libassimp-dev libmeshoptimizer-dev      # qvtool import: models read with Assimp, simplified with meshoptimizer
  assimp-testmodels                       # the import tests' models, made by others
)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  echo "Installing: ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
