# bash completion for vorn
_vorn()
{
    local cur prev command
    cur=${COMP_WORDS[COMP_CWORD]}
    prev=${COMP_WORDS[COMP_CWORD-1]}
    if [ "$COMP_CWORD" -eq 1 ]; then
        COMPREPLY=($(compgen -W "encode decode reveal --help --version" -- "$cur"))
        return
    fi
    command=${COMP_WORDS[1]}
    case $prev in
        --build)
            COMPREPLY=($(compgen -W "vornhold2 vornhold" -- "$cur"))
            return ;;
        --hidden)
            COMPREPLY=($(compgen -W "1 2 both" -- "$cur"))
            return ;;
        --fit)
            COMPREPLY=($(compgen -W "contain cover stretch" -- "$cur"))
            return ;;
        --carrier-bits)
            COMPREPLY=($(compgen -W "1 2 3 4" -- "$cur"))
            return ;;
        -o|--output)
            if [ "$command" = decode ]; then
                COMPREPLY=($(compgen -d -- "$cur"))
            else
                # "-": the picture to standard output
                COMPREPLY=($(compgen -W "-" -- "$cur") $(compgen -f -X '!*.@(png|PNG|bmp|BMP)' -- "$cur") $(compgen -d -- "$cur"))
            fi
            return ;;
        --password-file)
            COMPREPLY=($(compgen -W "-" -- "$cur") $(compgen -f -- "$cur"))
            return ;;
        --threads)
            return ;;
        --hidden1|--hidden2)
            COMPREPLY=($(compgen -W "-" -- "$cur") $(compgen -f -X '!*.@(png|PNG|bmp|BMP|jpg|JPG|jpeg|JPEG)' -- "$cur") $(compgen -d -- "$cur"))
            return ;;
    esac
    if [[ $cur == -* ]]; then
        # "-" is an input too: the picture from standard input
        local options="- -o --output -f --force --max-megapixels --threads -q --quiet -v --verbose -h --help"
        case $command in
            encode) options+=" --hidden1 --hidden2 --carrier-bits --compact --stealth --classic --fit --build --password --password-file" ;;
            decode) options+=" --hidden --build --raw --password --password-file" ;;
        esac
        COMPREPLY=($(compgen -W "$options" -- "$cur"))
        return
    fi
    local pictures='!*.@(png|PNG|bmp|BMP)'
    [ "$command" = encode ] && pictures='!*.@(png|PNG|bmp|BMP|jpg|JPG|jpeg|JPEG)'
    COMPREPLY=($(compgen -W "-" -- "$cur") $(compgen -f -X "$pictures" -- "$cur") $(compgen -d -- "$cur"))
}
complete -o filenames -F _vorn vorn
