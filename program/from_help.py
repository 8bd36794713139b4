#!/usr/bin/env python3
"""The manual page crvxml(1) and the bash completion, made from the help that
the program prints, so that neither can say something the program does not.

    from_help.py CRVXML man TEMPLATE OUT.1.gz   the page: TEMPLATE's sections
                                                 around the commands' help
    from_help.py CRVXML completion OUT           the bash completion
    from_help.py CRVXML check TEMPLATE           every command line in
                                                 TEMPLATE's examples uses
                                                 a command and options that
                                                 the program's help names

The help is read as the program prints it: blocks parted by blank lines; in a
block, a line indented by two blanks is an entry (an option, or a command in
the program's own help) whose description starts at a column of its own and
goes on in the lines indented to it; any other line is running text.
"""
import gzip
import re
import subprocess
import sys

ENTRY = re.compile(r"^  (\S.*?)\s{2,}(\S.*)$")
OPTION = re.compile(r"--[a-z][a-z0-9-]*")


def run_help(program, *args):
    env = {"LANG": "C.UTF-8", "PATH": "/usr/bin:/bin"}
    done = subprocess.run([program, *args], capture_output=True, text=True, env=env, check=False)
    if done.returncode != 0:
        sys.exit(f"{program} {' '.join(args)}: uscita {done.returncode}\n{done.stderr}")
    return done.stdout


def blocks(text):
    """The help's blocks, each a list of lines."""
    out, current = [], []
    for line in text.splitlines():
        if line.strip():
            current.append(line.rstrip())
        elif current:
            out.append(current)
            current = []
    if current:
        out.append(current)
    return out


def parse_block(lines):
    """A block as a list of ("text", str) and ("entry", term, description)."""
    columns = {len(line) - len(m.group(2)) for line in lines if (m := ENTRY.match(line))}
    items = []

    def split(line):
        if m := ENTRY.match(line):
            return m.group(1), m.group(2)
        # A term as wide as its column leaves one blank before the description.
        for column in sorted(columns):
            if len(line) > column and line[column - 1] == " " and line[column] != " ":
                return line[2:column].strip(), line[column:]
        return None

    for i, line in enumerate(lines):
        indent = len(line) - len(line.lstrip(" "))
        if indent >= 4 and items and items[-1][0] == "entry":
            items[-1] = ("entry", items[-1][1], (items[-1][2] + " " + line.strip()).strip())
            continue
        if indent == 2 and columns:
            if parts := split(line):
                items.append(("entry", parts[0].strip(), parts[1].strip()))
                continue
            following = lines[i + 1] if i + 1 < len(lines) else ""
            if len(following) - len(following.lstrip(" ")) >= 4:
                items.append(("entry", line.strip(), ""))
                continue
        if items and items[-1][0] == "text" and not lines[i - 1].endswith(":"):
            items[-1] = ("text", items[-1][1] + " " + line.strip())
        else:
            items.append(("text", line.strip()))
    return items


class Help:
    """One help text, read."""

    def __init__(self, text):
        self.text = text
        self.blocks = [parse_block(b) for b in blocks(text)]
        self.usage = [l for l in text.splitlines() if l.startswith(("Uso:", "     crvxml"))]

    def entries(self):
        return [item for block in self.blocks for item in block if item[0] == "entry"]

    def options(self):
        """Every option name the help shows in an entry, with whether it takes a value."""
        out = {}
        for _, term, _ in self.entries():
            for alternative in term.split(", "):
                words = alternative.split()
                if words and OPTION.fullmatch(words[0]):
                    out[words[0]] = len(words) > 1
        return out

    def exit_status(self):
        """The paragraph on the exit status, without its "Uscita...:" lead."""
        text = " ".join(
            item[1] for block in self.blocks for item in block if item[0] == "text" and item[1].startswith("Uscita")
        )
        return text.split(": ", 1)[1] if ": " in text else text

    def listed_options(self):
        """The options of the lines that start with one, read without the entry's columns."""
        out = set()
        for l in self.text.splitlines():
            if re.match(r"^  --", l) and " = --" not in l:
                for alternative in re.split(r",\s+", l.strip()):
                    if m := OPTION.match(alternative):
                        out.add(m.group(0))
        return out

    def all_option_names(self):
        return set(OPTION.findall(self.text))


def read_program(program):
    top = Help(run_help(program, "--aiuto"))
    commands = [term for _, term, _ in top.entries() if not term.startswith("-")]
    return top, {c: Help(run_help(program, c, "--aiuto")) for c in commands}


# --- roff ---------------------------------------------------------------

def esc(text):
    out = []
    for ch in text:
        if ch == "\\":
            out.append("\\e")
        elif ch == "-":
            out.append("\\-")
        else:
            out.append(ch)
    return "".join(out)


def ascii_only(text):
    """Characters beyond ASCII as roff's escapes, whatever encoding man assumes."""
    return "".join(ch if ord(ch) < 128 else f"\\[u{ord(ch):04X}]" for ch in text)


def line(text):
    """A text line that roff cannot take for a request."""
    return "\\&" + text if text.startswith((".", "'")) else text


def term_roff(term):
    """Option names bold, what they take in italics."""
    parts = []
    for alternative in term.split(", "):
        words = alternative.split(" ")
        shown = [f"\\fB{esc(w)}\\fR" if i == 0 or w.startswith("-") else f"\\fI{esc(w)}\\fR"
                 for i, w in enumerate(words)]
        parts.append(" ".join(shown))
    return ", ".join(parts)


def help_roff(help_, skip_usage=False):
    out = []
    for block in help_.blocks:
        first = block[0]
        if first[0] == "text" and first[1].startswith("Uso:"):
            if skip_usage:
                continue
            out += [".PP", ".nf"] + [line(esc(l.strip())) for l in help_.usage] + [".fi"]
            continue
        for item in block:
            if item[0] == "text":
                out += [".PP", line(esc(item[1]))]
            else:
                out += [".TP", line(term_roff(item[1]))]
                if item[2]:
                    out.append(line(esc(item[2])))
    return out


def man_page(program, template):
    top, commands = read_program(program)
    version = run_help(program, "--versione").split()[-1]
    sections = {
        "@VERSIONE@": [version],
        "@USO@": help_roff(top, skip_usage=True),
        "@COMANDI@": [],
        "@USCITA@": [],
    }
    for name, help_ in commands.items():
        sections["@COMANDI@"] += [f".SS \\fBcrvxml {esc(name)}\\fR"] + help_roff(help_)
    sections["@USCITA@"] += [".TP", "\\fBcrvxml\\fR (la finestra)", line(esc(top.exit_status()))]
    for name, help_ in commands.items():
        sections["@USCITA@"] += [".TP", f"\\fBcrvxml {esc(name)}\\fR", line(esc(help_.exit_status()))]
    out = []
    for raw in template.splitlines():
        if raw.strip() in sections and raw.strip() != "@VERSIONE@":
            out += sections[raw.strip()]
        else:
            out.append(ascii_only(raw.replace("@VERSIONE@", version)))
    return ascii_only("\n".join(out) + "\n")


# --- bash completion ----------------------------------------------------

def completion(program):
    top, commands = read_program(program)
    common = {"--radice", "--locale"}
    cases_options, cases_values = [], []
    for name, help_ in commands.items():
        options = help_.options()
        cases_options.append(f"        {name}) options='{' '.join(sorted(options))}' ;;")
        valued = sorted(o for o, takes in options.items() if takes and o not in common)
        if valued:
            cases_values.append(f"        {name}) valued='{' '.join(valued)}' ;;")
    return COMPLETION.format(
        commands=" ".join(commands),
        top=" ".join(sorted(top.all_option_names() & {"--radice", "--locale", "--aiuto", "--versione"})),
        options="\n".join(cases_options),
        valued="\n".join(cases_values),
    )


COMPLETION = r"""# bash completion for crvxml                                -*- shell-script -*-
# Made from the program's help when it is built: the commands, each command's
# options, folders for --radice and the names in the suite's import/ folder
# for the files to import and the invoices to show.

_crvxml_root()
{{
    local i
    for ((i = 1; i < ${{#words[@]}} - 1; i++)); do
        case ${{words[i]}} in
            --radice | --root) _crvxml_root_dir=${{words[i + 1]}}; return ;;
            --radice=* | --root=*) _crvxml_root_dir=${{words[i]#*=}}; return ;;
        esac
    done
    _crvxml_root_dir=${{VEX32_ROOT:-$HOME/vex32}}
}}

_crvxml()
{{
    local cur prev words cword split
    _init_completion -s || return

    local command='' i
    for ((i = 1; i < cword; i++)); do
        case ${{words[i]}} in
            --radice | --root | --locale) ((i++)) ;;
            -*) ;;
            *) command=${{words[i]}}; break ;;
        esac
    done

    case $prev in
        --radice | --root | --allegati)
            _filedir -d
            return ;;
        --locale)
            COMPREPLY=($(compgen -W 'it_IT en_GB en_US de_DE fr_FR' -- "$cur"))
            return ;;
        --uscita | --out | --png | --pdf)
            _filedir
            return ;;
    esac

    if [[ -z $command ]]; then
        COMPREPLY=($(compgen -W '{commands} {top}' -- "$cur"))
        return
    fi

    local options='' valued=''
    case $command in
{options}
    esac
    case $command in
{valued}
    esac
    if [[ " $valued " == *" $prev "* ]]; then
        return
    fi
    $split && return

    if [[ $cur == -* ]]; then
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        [[ ${{COMPREPLY-}} == *= ]] && compopt -o nospace
        return
    fi

    case $command in
        import | fattura)
            # A name in the suite's import/ folder, or a path of one's own.
            if [[ $cur != */* ]]; then
                local _crvxml_root_dir
                _crvxml_root
                local folder=$_crvxml_root_dir/import
                if [[ -d $folder ]]; then
                    local IFS=$'\n'
                    COMPREPLY=($(cd "$folder" 2>/dev/null && compgen -f -- "$cur"))
                fi
            fi
            if [[ $cur == */* || ${{#COMPREPLY[@]}} -eq 0 ]]; then
                _filedir
            fi
            ;;
    esac
}} &&
    complete -F _crvxml crvxml crvrove

# ex: filetype=sh
"""


# --- check --------------------------------------------------------------

def check(program, template):
    """Each "crvxml ..." line of the template's examples against the help."""
    top, commands = read_program(program)
    problems = []
    examples = template.split(".SH ESEMPI", 1)[1].split("\n.SH ", 1)[0] if ".SH ESEMPI" in template else ""
    lines = [l.replace("\\-", "-").replace("\\e", "\\") for l in examples.splitlines()]
    checked = 0
    for text in lines:
        if not text.startswith("crvxml"):
            continue
        words = text.split()[1:]
        command = None
        i = 0
        while i < len(words):
            if words[i] in ("--radice", "--locale"):
                i += 2
                continue
            if not words[i].startswith("-"):
                command = words[i]
                break
            i += 1
        if command is None:
            known = top.all_option_names()
        elif command not in commands:
            problems.append(f"esempio con un comando che il programma non ha: {text}")
            continue
        else:
            known = commands[command].all_option_names() | {"--radice", "--locale"}
        for option in OPTION.findall(text):
            if option not in known:
                problems.append(f"esempio con l'opzione {option}, che l'aiuto di {command or 'crvxml'} non nomina: {text}")
        checked += 1
    if checked == 0:
        problems.append("nessun esempio \"crvxml ...\" nella sezione ESEMPI")
    # Every option line of every help became an entry of the page and of the completion.
    listed_commands = {m.group(1) for l in top.text.splitlines() if (m := re.match(r"^  ([a-z][a-z-]*)\s", l))}
    if listed_commands != set(commands):
        problems.append(f"comandi letti dall'aiuto: {sorted(commands)}, elencati: {sorted(listed_commands)}")
    for name, help_ in commands.items():
        if missing := help_.listed_options() - set(help_.options()):
            problems.append(f"crvxml {name}: opzioni non lette dall'aiuto: {sorted(missing)}")
    for problem in problems:
        print(problem, file=sys.stderr)
    print(f"{checked} esempi e {len(commands)} comandi controllati, {len(problems)} problemi")
    return 1 if problems else 0


def main(argv):
    if len(argv) < 3 or argv[2] not in ("man", "completion", "check"):
        sys.exit(__doc__)
    program, mode = argv[1], argv[2]
    if mode == "man":
        with open(argv[3], encoding="utf-8") as f:
            page = man_page(program, f.read())
        with open(argv[4], "wb") as f:
            # Level 9 and no name or time in the header: the same page, the same bytes.
            with gzip.GzipFile(filename="", mode="wb", compresslevel=9, fileobj=f, mtime=0) as z:
                z.write(page.encode("utf-8"))
        return 0
    if mode == "completion":
        with open(argv[3], "w", encoding="utf-8") as f:
            f.write(completion(program))
        return 0
    with open(argv[3], encoding="utf-8") as f:
        return check(program, f.read())


if __name__ == "__main__":
    sys.exit(main(sys.argv))
