"""Finding and running framora-cli as a child process."""

import os
import queue
import shutil
import signal
import subprocess
import threading

PLUGIN_DIR = os.path.dirname(os.path.abspath(__file__))
PROGRESS_PREFIX = 'PROGRESS '


class CliNotFound(Exception):
    pass


def find_cli():
    """FRAMORA_CLI, then framora-cli beside the plugin, then on PATH."""
    candidates = [os.environ.get('FRAMORA_CLI', ''), os.path.join(PLUGIN_DIR, 'bin', 'framora-cli')]
    for candidate in candidates:
        if candidate and os.path.isfile(candidate) and os.access(candidate, os.X_OK):
            return candidate
    found = shutil.which('framora-cli')
    if found:
        return found
    raise CliNotFound('找不到framora-cli：请设置环境变量FRAMORA_CLI，或把它放在插件目录的bin下，或加入PATH')


def cli_environment():
    env = dict(os.environ)
    env['FRAMORA_PROGRESS'] = 'lines'  # one "PROGRESS done total" line per sheet
    env.setdefault('QT_QPA_PLATFORM', 'offscreen')
    return env


def frame_setting_defaults(cli=None):
    """The frame settings and their defaults as framora-cli lists them, in its order."""
    try:
        cli = cli or find_cli()
        listed = subprocess.run([cli, 'settings'], capture_output=True, text=True, env=cli_environment(),
                                timeout=60, check=True).stdout
    except (CliNotFound, OSError, subprocess.SubprocessError):
        return []
    settings = []
    for line in listed.splitlines():
        name, equals, value = line.partition('=')
        if equals and name.strip():
            settings.append((name.strip(), value))
    return settings


def run_cli(arguments, feedback):
    """Runs framora-cli with arguments; its progress drives feedback, its messages go to the
    log, and a cancel stops it between sheets as Ctrl-C does. Returns the exit status."""
    command = [find_cli()] + arguments
    feedback.pushCommandInfo(' '.join(command))
    process = subprocess.Popen(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                               env=cli_environment(), bufsize=1)
    lines = queue.Queue()

    def read():
        for line in process.stdout:
            lines.put(line.rstrip('\n'))
        lines.put(None)

    reader = threading.Thread(target=read, daemon=True)
    reader.start()
    interrupted = False
    while True:
        if feedback.isCanceled() and not interrupted and process.poll() is None:
            process.send_signal(signal.SIGINT)
            interrupted = True
        try:
            line = lines.get(timeout=0.2)
        except queue.Empty:
            continue
        if line is None:
            break
        if line.startswith(PROGRESS_PREFIX):
            done, _, total = line[len(PROGRESS_PREFIX):].partition(' ')
            if total.isdigit() and int(total) > 0 and done.isdigit():
                feedback.setProgress(100.0 * int(done) / int(total))
        elif line.strip():
            feedback.pushInfo(line)
    reader.join()
    process.stdout.close()
    return process.wait()
